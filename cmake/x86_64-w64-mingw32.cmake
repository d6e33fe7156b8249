# Cross-compiling framecalc for 64-bit Windows with mingw-w64 (Debian's g++-mingw-w64-x86-64).
# The product is the 32-bit build (i686-w64-mingw32.cmake); this one runs the same sources and
# tests under Wine on machines whose kernel runs no 32-bit code, where a 32-bit Windows program
# cannot start. long double is the x87 extended format here too.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(FRAMECALC_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
