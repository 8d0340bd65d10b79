# Cross build for 32-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RASTELLE_MINGW_TRIPLET i686-w64-mingw32)
set(RASTELLE_MINGW_JPEG_PREFIX /opt/rastelle/mingw-libjpeg-turbo)
set(RASTELLE_WINE_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
