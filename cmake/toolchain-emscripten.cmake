# The web build: Debian's emscripten, and libjpeg-turbo built for wasm by
# scripts/install-deps.sh into its own prefix.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

set(RASTELLE_WASM_JPEG_PREFIX /opt/rastelle/wasm-libjpeg-turbo)
list(APPEND CMAKE_FIND_ROOT_PATH ${RASTELLE_WASM_JPEG_PREFIX})
# A node with fetch would take emscripten's own files for addresses.
execute_process(COMMAND node --no-experimental-fetch -e "" RESULT_VARIABLE rastelle_node_fetch
                OUTPUT_QUIET ERROR_QUIET)
if(rastelle_node_fetch EQUAL 0)
    set(CMAKE_CROSSCOMPILING_EMULATOR node --no-experimental-fetch)
else()
    set(CMAKE_CROSSCOMPILING_EMULATOR node)
endif()

# Exceptions, so that running out of memory is caught as elsewhere; the engine's SSE2 path
# through wasm SIMD, with the same output.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions -msimd128 -msse2")
set(CMAKE_C_FLAGS_INIT "-msimd128")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")
