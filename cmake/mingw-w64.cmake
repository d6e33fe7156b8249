# What the two Windows toolchain files share: the mingw-w64 compilers of FRAMECALC_MINGW_PREFIX,
# looked up in their own root, with the tests run under Wine. The -posix compilers: GoogleTest
# needs std::mutex, which the win32 thread model lacks.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${FRAMECALC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FRAMECALC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FRAMECALC_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FRAMECALC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs (and gtest_discover_tests at build time) run under Wine in the project's prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)

# Every executable stands alone: the C and C++ run-times and winpthread are linked in, so an
# executable imports only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
