# Cross build for 64-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RASTELLE_MINGW_TRIPLET x86_64-w64-mingw32)
set(RASTELLE_MINGW_JPEG_PREFIX /opt/rastelle/mingw64-libjpeg-turbo)
set(RASTELLE_WINE_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
