# The export commands of the desktop program: the local web server that shows pages, the
# private pages that hand its addresses to the browser, the browser player's files, and
# Play / "Create Flash file..." in the main window.
find_package(Qt6 REQUIRED COMPONENTS Core Network Widgets)

add_library(clipmoor_export STATIC
    ${CMAKE_SOURCE_DIR}/app/gui/local_web_server.cpp
    ${CMAKE_SOURCE_DIR}/app/gui/http_connection.cpp
    ${CMAKE_SOURCE_DIR}/app/gui/forwarding_page.cpp
    ${CMAKE_SOURCE_DIR}/app/gui/export_files.cpp)
set_target_properties(clipmoor_export PROPERTIES AUTOMOC ON)
target_include_directories(clipmoor_export PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(clipmoor_export PUBLIC clipmoor_movie Qt6::Core Qt6::Network)

target_sources(clipmoor_gui PRIVATE ${CMAKE_SOURCE_DIR}/app/gui/export_commands.cpp)
target_link_libraries(clipmoor_gui PUBLIC clipmoor_export clipmoor_movie)

# The browser player (the npm package that tools/install-deps.sh puts into build/node) is
# copied into the program folder, where the program serves it and copies it next to pages.
if(EXISTS ${CLIPMOOR_NODE_DIR}/node_modules/@ruffle-rs/ruffle)
    set(player_default ${CLIPMOOR_NODE_DIR}/node_modules/@ruffle-rs/ruffle)
else()
    set(player_default ${CMAKE_SOURCE_DIR}/build/node/node_modules/@ruffle-rs/ruffle)
endif()
set(CLIPMOOR_PLAYER_SOURCE ${player_default} CACHE PATH "The browser player's npm package")
add_custom_target(clipmoor_player ALL
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${CLIPMOOR_PLAYER_SOURCE}
            -DDEST=${CLIPMOOR_PROGRAM_DIR}/player -P ${CMAKE_SOURCE_DIR}/cmake/CopyPlayer.cmake
    VERBATIM)
