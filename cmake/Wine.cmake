# Windows programs built here run under Wine: tests through CTest, and GoogleTest's discovery
# at test time (DISCOVERY_MODE PRE_TEST), so building never starts a Windows program.
set(RASTELLE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH
    "Wine prefix for running the Windows programs when WINEPREFIX is not set")
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--bits;${RASTELLE_WINE_BITS};--default-prefix;${RASTELLE_WINEPREFIX}")
