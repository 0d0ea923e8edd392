# cmake --install: the program folder goes to lib/clipmoor (the programs with the libraries
# they load from their own folder, the user guide and the browser player), bin/ gets links
# to the programs, share/ the desktop entry, the icon and the *.fmo file type.
include(GNUInstallDirs)
set(CLIPMOOR_INSTALL_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/clipmoor)
set(desktop_dir ${CMAKE_SOURCE_DIR}/app/gui/desktop)

set(program_targets clipmoor clipmoor-cli pictavo-decoder)
set_target_properties(${program_targets} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${program_targets} RUNTIME DESTINATION ${CLIPMOOR_INSTALL_PROGRAM_DIR})
install(TARGETS Pictavo rasKB50 rasM50 LIBRARY DESTINATION ${CLIPMOOR_INSTALL_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CLIPMOOR_INSTALL_PROGRAM_DIR}/help)
# The player was copied into the build's program folder; without it pages still work with a
# Flash plug-in.
install(DIRECTORY ${CLIPMOOR_PROGRAM_DIR}/player/ DESTINATION ${CLIPMOOR_INSTALL_PROGRAM_DIR}/player
        OPTIONAL)

# bin/clipmoor -> ../lib/clipmoor/clipmoor: the programs find their folder through the link.
foreach(target ${program_targets})
    install(CODE "
        set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${bin}\")
        file(RELATIVE_PATH target \"\${bin}\"
             \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CLIPMOOR_INSTALL_PROGRAM_DIR}/${target}\")
        message(STATUS \"Installing: \${bin}/${target} -> \${target}\")
        file(CREATE_LINK \"\${target}\" \"\${bin}/${target}\" SYMBOLIC)
    ")
endforeach()

install(FILES ${desktop_dir}/clipmoor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_dir}/clipmoor-project.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${desktop_dir}/clipmoor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
