# Makes a document as it is installed: the source with the project's version filled in, then
# compressed with gzip -9n (no name, no time stamp in the header, so the bytes depend on the text
# alone), as Debian wants manual pages and changelogs.
#     cmake -DSOURCE=IN -DOUTPUT=OUT -DVERSION=V [-DMAINTAINER=M] -P InstalledDocument.cmake
# writes OUT (the text) and OUT.gz. A manual page gets "framecalc V" as the fourth field of its
# .TH line; any other text has @VERSION@, @MAINTAINER@ and @DATE@ (RFC 2822, UTC, from
# SOURCE_DATE_EPOCH when it is set) replaced.
cmake_minimum_required(VERSION 3.25)
foreach(required SOURCE OUTPUT VERSION)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "InstalledDocument.cmake: ${required} is not set")
  endif()
endforeach()

file(READ "${SOURCE}" text)
if(SOURCE MATCHES "\\.[1-9]$")
  string(REGEX REPLACE "(\n|^)(\\.TH [^\"\n]* \"[^\"\n]*\" )\"framecalc[^\"\n]*\""
         "\\1\\2\"framecalc ${VERSION}\"" versioned "${text}")
  if(versioned STREQUAL text AND NOT text MATCHES "\"framecalc ${VERSION}\"")
    message(FATAL_ERROR "${SOURCE}: no .TH line with \"framecalc\" as its fourth field")
  endif()
  set(text "${versioned}")
else()
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
  string(REPLACE "@MAINTAINER@" "${MAINTAINER}" text "${text}")
  string(REPLACE "@DATE@" "${date}" text "${text}")
endif()
file(WRITE "${OUTPUT}" "${text}")
execute_process(COMMAND gzip -9n -c "${OUTPUT}" OUTPUT_FILE "${OUTPUT}.gz"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip ${OUTPUT}: ${result}")
endif()
