# cmake -DPROBE=<broken_graph folder> -DWORK_DIR=<scratch> -P configure_broken_graph.cmake
# Configures the broken graph and checks that the check stopped it for exactly its faults.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${PROBE} -B ${WORK_DIR}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(result EQUAL 0)
    message(FATAL_ERROR "the broken graph configured without complaint")
endif()
foreach(expected
        "core target clipmoor_model links Qt: Qt6::Widgets <- clipmoor_widgets <- clipmoor_model"
        "core target clipmoor_record_core links X11: X11::Xext <- clipmoor_capture <- clipmoor_record_core"
        "only capture and hook targets may link X11: X11::X11 <- clipmoor_gui"
        "drawing target clipmoor_video links Qt Widgets: Qt6::Widgets <- clipmoor_widgets <- clipmoor_video")
    string(FIND "${output}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "missing from the output: ${expected}")
    endif()
endforeach()
# The allowed links: capture reaching X11, the window reaching Qt, drawing reaching Qt Gui, a
# clean core target.
foreach(allowed "<- clipmoor_capture\n" "<- clipmoor_gui <-" "target clipmoor_swf"
        "target clipmoor_render")
    string(FIND "${output}" "${allowed}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "an allowed link was reported: ${allowed}")
    endif()
endforeach()
