# GoogleTest built from Debian's source package (libgtest-dev, /usr/src/googletest) for the
# cross-compiled target, with the GTest:: names that find_package gives on the build machine.
set(FRAMECALC_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT EXISTS ${FRAMECALC_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are missing at ${FRAMECALC_GOOGLETEST_SOURCE}: "
                      "install the Debian package libgtest-dev")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${FRAMECALC_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target gtest gtest_main gmock gmock_main)
  # Not the project's code: its own warnings are not ours to fix.
  target_compile_options(${target} PRIVATE -w)
  if(NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()
