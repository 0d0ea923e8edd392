# cmake -DSOURCE=<npm package folder> -DDEST=<program folder>/player -P CopyPlayer.cmake
# Copies the browser player's files; says so and copies nothing when the package is missing.
if(NOT EXISTS ${SOURCE}/ruffle.js)
    message(STATUS "Browser player not found in ${SOURCE}: run tools/install-deps.sh build")
    return()
endif()
file(GLOB files ${SOURCE}/ruffle.js ${SOURCE}/core.ruffle.*.js ${SOURCE}/*.wasm
     ${SOURCE}/LICENSE*)
file(MAKE_DIRECTORY ${DEST})
# Files of an older player version go, so the folder holds one consistent player.
file(GLOB old ${DEST}/*)
foreach(file ${old})
    get_filename_component(name ${file} NAME)
    if(NOT EXISTS ${SOURCE}/${name})
        file(REMOVE ${file})
    endif()
endforeach()
file(COPY ${files} DESTINATION ${DEST})
