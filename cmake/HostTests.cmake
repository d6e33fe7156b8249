# Tests of a cross-compiled build that run on the build machine: the end-to-end tests, the probe's
# tests and the differential test are Linux programs that start the target's executables through
# its emulator (the Windows ones under tools/wine-run.sh, the aarch64 ones under qemu-user). They
# come from the Linux build (FRAMECALC_HOST_BUILD_DIR, by default build/default: build that
# preset first) and are listed when ctest starts, so that the cross build itself needs no host
# compiler.
#
# framecalc_add_host_tests(PREFIX HOST_EXECUTABLE LABEL [SERIAL] [ENVIRONMENT NAME=VALUE ...])
# registers every test of HOST_EXECUTABLE (a path below FRAMECALC_HOST_BUILD_DIR) as
# PREFIX<Suite>.<Test>, run with the given environment; with SERIAL each of them runs alone (tests
# that change the Wine prefix's registry, which every program started meanwhile would read); under
# Wine each needs the x87 findings of the suite's first test (tests/CMakeLists.txt). A test whose
# name says that the emulator cannot show what it checks (it holds FRAMECALC_HOST_TEST_EXCLUDE:
# "NotUnderWine" for Wine) is left out: the fake platform covers it.
set(FRAMECALC_HOST_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/default" CACHE PATH
    "The Linux build whose test programs run the cross build's executables")

function(framecalc_add_host_tests prefix host_executable label)
  cmake_parse_arguments(ARG "SERIAL" "" "ENVIRONMENT" ${ARGN})
  set(serial FALSE)
  if(ARG_SERIAL)
    set(serial TRUE)
  endif()
  get_filename_component(id "${host_executable}" NAME)
  # Tests whose names say that the target's emulator cannot show what they check.
  set(exclude "${FRAMECALC_HOST_TEST_EXCLUDE}")
  if(exclude STREQUAL "")
    set(exclude NotUnderWine)
  endif()
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${id}.host-tests.cmake")
  set(executable "${FRAMECALC_HOST_BUILD_DIR}/${host_executable}")
  file(GENERATE OUTPUT "${script}" CONTENT "
set(executable [==[${executable}]==])
set(environment [==[${ARG_ENVIRONMENT}]==])
if(NOT EXISTS \"\${executable}\")
  add_test(\"${prefix}${id}.HostTestsMissing\" ${CMAKE_COMMAND} -E false)
  message(WARNING \"missing \${executable}: build the default preset first\")
  set_tests_properties(\"${prefix}${id}.HostTestsMissing\" PROPERTIES LABELS ${label})
  return()
endif()
execute_process(COMMAND \"\${executable}\" --gtest_list_tests OUTPUT_VARIABLE listing
                RESULT_VARIABLE result TIMEOUT 60)
string(REPLACE \"\\n\" \";\" lines \"\${listing}\")
set(suite \"\")
foreach(line IN LISTS lines)
  string(REGEX REPLACE \" *#.*\" \"\" line \"\${line}\")
  if(line MATCHES \"^([^ ].*\\\\.)$\")
    set(suite \"\${CMAKE_MATCH_1}\")
  elseif(line MATCHES \"^  ([^ ]+)$\")
    set(name \"\${suite}\${CMAKE_MATCH_1}\")
    if(NOT name MATCHES \"${exclude}\")
      add_test(\"${prefix}\${name}\" \"\${executable}\" --gtest_filter=\${name})
      set_tests_properties(\"${prefix}\${name}\" PROPERTIES LABELS ${label}
                           ENVIRONMENT \"\${environment}\" TIMEOUT 300 RUN_SERIAL ${serial}
                           FIXTURES_REQUIRED x87_findings
                           SKIP_REGULAR_EXPRESSION \"\\\\[  SKIPPED \\\\]\")
    endif()
  endif()
endforeach()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
endfunction()
