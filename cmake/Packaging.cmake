# What a user installs, and the Debian package made from the very same rules:
#     cmake --install BUILD --prefix /usr/local       (the prefix is the user's choice)
#     cpack -G DEB --config BUILD/CPackConfig.cmake    (framecalc_<version>_amd64.deb, prefix /usr)
# bin/framecalc and bin/framecalc-batch come from their own folders' rules; here: both manual
# pages (with the project's version in their title line, compressed), the language modules in
# share/framecalc/ (where the program looks for them, ../share/framecalc/ from its own folder),
# the package's copyright and changelog in share/doc/framecalc/, and lintian's override for the
# statically linked calculator.
include(GNUInstallDirs)

set(FRAMECALC_MAINTAINER "framecalc maintainers <framecalc@example.org>" CACHE STRING
    "The maintainer named in the Debian package and its changelog")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Documents as installed: the version filled in, compressed with gzip -9n.
set(FRAMECALC_DOCUMENTS_DIR ${PROJECT_BINARY_DIR}/documents)
function(framecalc_installed_document source output)
  add_custom_command(
    OUTPUT ${FRAMECALC_DOCUMENTS_DIR}/${output} ${FRAMECALC_DOCUMENTS_DIR}/${output}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${FRAMECALC_DOCUMENTS_DIR}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/${source}
            -DOUTPUT=${FRAMECALC_DOCUMENTS_DIR}/${output} -DVERSION=${PROJECT_VERSION}
            -DMAINTAINER=${FRAMECALC_MAINTAINER}
            -P ${PROJECT_SOURCE_DIR}/cmake/InstalledDocument.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/${source} ${PROJECT_SOURCE_DIR}/cmake/InstalledDocument.cmake
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY FRAMECALC_DOCUMENTS ${FRAMECALC_DOCUMENTS_DIR}/${output}.gz)
endfunction()

framecalc_installed_document(calculator/framecalc.1 framecalc.1)
framecalc_installed_document(batch/framecalc-batch.1 framecalc-batch.1)
framecalc_installed_document(packaging/changelog changelog)
get_property(documents GLOBAL PROPERTY FRAMECALC_DOCUMENTS)
add_custom_target(framecalc_documents ALL DEPENDS ${documents})

install(FILES ${FRAMECALC_DOCUMENTS_DIR}/framecalc.1.gz ${FRAMECALC_DOCUMENTS_DIR}/framecalc-batch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES share/framecalc.example.lang DESTINATION ${CMAKE_INSTALL_DATADIR}/framecalc)
install(FILES share/framecalc.DEU.lang DESTINATION ${CMAKE_INSTALL_DATADIR}/framecalc
        RENAME framecalc.DEU)
install(FILES packaging/copyright ${FRAMECALC_DOCUMENTS_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME framecalc)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME framecalc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${FRAMECALC_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact calculator for map-sheet frame-line crossings")
set(CPACK_PACKAGE_DESCRIPTION
"framecalc is a small console calculator for map-sheet work. Given two points
A and B of a straight line drawn across a map sheet and one coordinate of a
corner of the sheet's section frame, it prints where line AB crosses that
frame line. All arithmetic is done in the 80-bit x87 extended format, so the
results are the same, digit for digit, on every run.

framecalc-batch computes the same crossings for a whole file of records.

The messages of failure reports are English, or German from the module in
/usr/share/framecalc.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FRAMECALC_MAINTAINER}")
# The dependencies are computed from the programs (dpkg-shlibdeps): the statically linked
# calculator needs none, framecalc-batch the C library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
