# Cross-compiling framecalc for 64-bit Windows with mingw-w64 (Debian's g++-mingw-w64-x86-64).
# The product is the 32-bit build (i686-w64-mingw32.cmake); this one runs the same sources and
# tests under Wine on machines whose kernel runs no 32-bit code, where a 32-bit Windows program
# cannot start. long double is the x87 extended format here too.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FRAMECALC_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FRAMECALC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FRAMECALC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FRAMECALC_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FRAMECALC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
