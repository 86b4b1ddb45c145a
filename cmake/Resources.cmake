# Lays out <build>/Resources like the application bundle: the phoneme data and the ONNX Runtime library.
set(PARLONA_ESPEAK_DATA "/usr/lib/x86_64-linux-gnu/espeak-ng-data" CACHE PATH "espeak-ng data folder")
set(PARLONA_ONNXRUNTIME_LIB "${CMAKE_SOURCE_DIR}/.deps/onnxruntime-node-1.30.0/libonnxruntime.so.1"
    CACHE FILEPATH "libonnxruntime.so.1 taken from the onnxruntime-node package by scripts/setup")

file(MAKE_DIRECTORY ${PARLONA_RESOURCES_DIR}/onnxruntime)
if(NOT EXISTS ${PARLONA_RESOURCES_DIR}/espeak-ng-data)
    if(EXISTS ${PARLONA_ESPEAK_DATA})
        file(CREATE_LINK ${PARLONA_ESPEAK_DATA} ${PARLONA_RESOURCES_DIR}/espeak-ng-data SYMBOLIC)
    else()
        message(WARNING "espeak-ng data not found at ${PARLONA_ESPEAK_DATA}; run scripts/setup")
    endif()
endif()
if(EXISTS ${PARLONA_ONNXRUNTIME_LIB})
    configure_file(${PARLONA_ONNXRUNTIME_LIB} ${PARLONA_RESOURCES_DIR}/onnxruntime/libonnxruntime.so.1 COPYONLY)
else()
    message(WARNING "ONNX Runtime not found at ${PARLONA_ONNXRUNTIME_LIB}; run scripts/setup")
endif()
