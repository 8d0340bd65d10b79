# Shared part of the mingw-w64 cross builds; the toolchain files of each architecture set
# RASTELLE_MINGW_TRIPLET and RASTELLE_MINGW_JPEG_PREFIX, then include this file.
# The -posix variant is needed: the default -win32 thread model has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${RASTELLE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RASTELLE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RASTELLE_MINGW_TRIPLET}-windres)

# libjpeg-turbo is built for Windows by scripts/install-deps.sh into its own prefix.
set(CMAKE_FIND_ROOT_PATH /usr/${RASTELLE_MINGW_TRIPLET} ${RASTELLE_MINGW_JPEG_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only system DLLs at run time: link the compiler's runtimes statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
