# Sanitizer build trees. CLIPMOOR_SANITIZE=address builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, =thread with ThreadSanitizer. Clang trees of them sit beside the
# main build (build/asan, build/tsan), and the main ctest run runs their tests as NAME.asan
# and NAME.tsan:
#   address: every test that needs no display (but the browser player's), and the fuzz
#            targets of the file parsers;
#   thread:  the tests labelled `threads` (the hook listener, the picture pool, the JPEG
#            encoding pool, the recorder).
# A sanitizer tree builds the target clipmoor_sanitized_tests, which holds just those.
set(CLIPMOOR_SANITIZE "" CACHE STRING "Sanitizer of this build tree: address (with undefined) or thread")
set_property(CACHE CLIPMOOR_SANITIZE PROPERTY STRINGS "" address thread)

if(CLIPMOOR_SANITIZE STREQUAL "address")
    set(sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined)
elseif(CLIPMOOR_SANITIZE STREQUAL "thread")
    set(sanitize_flags -fsanitize=thread)
elseif(CLIPMOOR_SANITIZE)
    message(FATAL_ERROR "CLIPMOOR_SANITIZE is address, thread or empty, not ${CLIPMOOR_SANITIZE}")
endif()
if(CLIPMOOR_SANITIZE)
    if(CLIPMOOR_GUI)
        message(FATAL_ERROR "A sanitizer tree holds the core only: configure it with -DCLIPMOOR_GUI=OFF")
    endif()
    add_compile_options(${sanitize_flags} -fno-omit-frame-pointer -g)
    add_link_options(${sanitize_flags})
    # Tests skip what sanitizers change by design: page-fault counts, resident memory, speed.
    add_compile_definitions(CLIPMOOR_SANITIZER="${CLIPMOOR_SANITIZE}")
endif()

# The main tree's view of the sanitizer trees, which ./test.sh builds; an empty path
# registers none of that tree's tests.
set(CLIPMOOR_ASAN_TREE ${CMAKE_BINARY_DIR}/asan CACHE PATH "The AddressSanitizer build tree")
set(CLIPMOOR_TSAN_TREE ${CMAKE_BINARY_DIR}/tsan CACHE PATH "The ThreadSanitizer build tree")
set(CLIPMOOR_SANITIZER_SUPPRESSIONS ${CMAKE_SOURCE_DIR}/tests/sanitizers)

# clipmoor_sanitized_test(NAME DISPLAY TIMEOUT LABELS): called for every test executable.
# In a sanitizer tree it adds the executable to clipmoor_sanitized_tests when the tree runs
# it; in the main tree it registers the sanitizer trees' build of it.
function(clipmoor_sanitized_test name display timeout labels)
    # Tests labelled `browser` add the browser player's view of movies other tests build.
    set(in_asan FALSE)
    if(NOT display AND NOT "browser" IN_LIST labels)
        set(in_asan TRUE)
    endif()
    set(in_tsan FALSE)
    if("threads" IN_LIST labels)
        set(in_tsan TRUE)
    endif()

    if(CLIPMOOR_SANITIZE)
        if((CLIPMOOR_SANITIZE STREQUAL "address" AND in_asan) OR
           (CLIPMOOR_SANITIZE STREQUAL "thread" AND in_tsan))
            set_property(GLOBAL APPEND PROPERTY CLIPMOOR_SANITIZED_TESTS ${name})
        endif()
        return()
    endif()

    set(supp ${CLIPMOOR_SANITIZER_SUPPRESSIONS})
    set(env "CLIPMOOR_NODE_DIR=${CLIPMOOR_NODE_DIR}")
    if(NOT display)
        list(APPEND env "DISPLAY=" "WAYLAND_DISPLAY=")
    endif()
    # Sanitized code runs several times slower.
    math(EXPR slow_timeout "${timeout} * 4")
    foreach(kind asan tsan)
        if(NOT in_${kind})
            continue()
        endif()
        if(kind STREQUAL "asan")
            set(tree ${CLIPMOOR_ASAN_TREE})
            if(NOT tree)
                continue()
            endif()
            set(options
                "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1"
                "LSAN_OPTIONS=suppressions=${supp}/leaks.supp:print_suppressions=0"
                "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
        else()
            set(tree ${CLIPMOOR_TSAN_TREE})
            if(NOT tree)
                continue()
            endif()
            set(options "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
        endif()
        add_test(NAME ${name}.${kind} COMMAND ${tree}/tests/${name}
                 WORKING_DIRECTORY ${tree}/tests)
        set_tests_properties(${name}.${kind} PROPERTIES TIMEOUT ${slow_timeout}
                             ENVIRONMENT "${env};${options}" LABELS "${labels};${kind}")
        if(display)
            set_tests_properties(${name}.${kind} PROPERTIES RESOURCE_LOCK xdisplay)
        endif()
    endforeach()
endfunction()

# In a sanitizer tree: the target that builds what the tree runs.
function(clipmoor_add_sanitized_tests_target)
    get_property(tests GLOBAL PROPERTY CLIPMOOR_SANITIZED_TESTS)
    add_custom_target(clipmoor_sanitized_tests)
    if(tests)
        add_dependencies(clipmoor_sanitized_tests ${tests})
    endif()
endfunction()
