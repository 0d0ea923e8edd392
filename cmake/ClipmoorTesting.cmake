# Helpers shared by the test folders.
#
# clipmoor_add_gtest(NAME SOURCES... [LIBS libs...] [DISPLAY|WAYLAND] [DESKTOP options...]
#                   [TIMEOUT s] [LABELS l...])
#   Builds a GoogleTest executable and registers it with CTest.  Core tests run
#   with DISPLAY cleared, which proves they need no X server; DISPLAY tests get
#   the Xvfb display that ./test.sh starts; WAYLAND tests run on a headless Wayland
#   desktop of their own (tests/wayland/with-desktop.sh, given the DESKTOP options),
#   alone.  The label `threads` marks tests of code that runs threads; the
#   ThreadSanitizer tree runs them (cmake/ClipmoorSanitizers.cmake).

set(CLIPMOOR_NODE_DIR ${CMAKE_BINARY_DIR}/node CACHE PATH "npm packages used by the tests")

function(clipmoor_add_gtest name)
    cmake_parse_arguments(T "DISPLAY;WAYLAND" "TIMEOUT" "SOURCES;LIBS;LABELS;DESKTOP" ${ARGN})
    add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${T_LIBS})
    target_compile_definitions(${name} PRIVATE
        CLIPMOOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        CLIPMOOR_BINARY_DIR="${CMAKE_BINARY_DIR}"
        CLIPMOOR_PROGRAM_DIR="${CLIPMOOR_PROGRAM_DIR}"
        CLIPMOOR_NODE_DIR="${CLIPMOOR_NODE_DIR}")
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    if(T_DISPLAY)
        list(APPEND T_LABELS display)
    endif()
    if(T_WAYLAND)
        # The programs they start are the main tree's.
        list(APPEND T_LABELS wayland)
        set(T_DISPLAY TRUE)
    endif()
    # The sanitizer trees hold the core only, without the desktop program.
    if(NOT CLIPMOOR_TESTS_NEED_GUI)
        clipmoor_sanitized_test(${name} "${T_DISPLAY}" ${T_TIMEOUT} "${T_LABELS}")
    endif()
    if(CLIPMOOR_SANITIZE)
        get_property(sanitized GLOBAL PROPERTY CLIPMOOR_SANITIZED_TESTS)
        if(NOT name IN_LIST sanitized)
            return() # the main tree runs it
        endif()
    endif()

    set(command ${name})
    if(T_WAYLAND)
        set(command ${CMAKE_SOURCE_DIR}/tests/wayland/with-desktop.sh ${T_DESKTOP}
                    $<TARGET_FILE:${name}>)
    endif()
    add_test(NAME ${name} COMMAND ${command} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set(env "CLIPMOOR_NODE_DIR=${CLIPMOOR_NODE_DIR}")
    if(NOT T_DISPLAY)
        list(APPEND env "DISPLAY=" "WAYLAND_DISPLAY=")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}"
                         LABELS "${T_LABELS}")
    if(T_WAYLAND)
        # Alone: the desktop's compositor paints in software, and on a busy machine its cast
        # drops pictures and its portal misses the tests' time limits.
        set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
    elseif(T_DISPLAY)
        # Tests that use the X server (pointer, keyboard, screen) must not overlap.
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK xdisplay)
    endif()
endfunction()
