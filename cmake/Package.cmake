# cmake --install: the command-line tool, its man page and bash completion, and the README, the
# guides of docs/ and the licences. CPack makes the Debian package of the same files
# (scripts/package.sh).
set(CMAKE_INSTALL_DOCDIR share/doc/rastelle CACHE PATH "README and licences")
include(GNUInstallDirs)

option(RASTELLE_DEBIAN_FILES "Install the files a Debian package needs (copyright, changelog)" OFF)

# Debian wants manual pages and changelogs compressed, without a time stamp (gzip -n).
set(RASTELLE_MAN_PAGE ${CMAKE_BINARY_DIR}/rastelle-cli.1.gz)
set(RASTELLE_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${RASTELLE_MAN_PAGE}
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/share/rastelle-cli.1 > ${RASTELLE_MAN_PAGE}
    DEPENDS ${PROJECT_SOURCE_DIR}/share/rastelle-cli.1 VERBATIM)
string(TIMESTAMP RASTELLE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/changelog
    "rastelle-cli (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}.\n\n"
    " -- The Rastelle developers <rastelle@example.org>  ${RASTELLE_DATE}\n")
add_custom_command(OUTPUT ${RASTELLE_CHANGELOG}
    COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/changelog > ${RASTELLE_CHANGELOG}
    DEPENDS ${CMAKE_BINARY_DIR}/changelog VERBATIM)
add_custom_target(rastelle_compressed_docs ALL DEPENDS ${RASTELLE_MAN_PAGE} ${RASTELLE_CHANGELOG})

install(TARGETS rastelle-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${RASTELLE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES share/rastelle-cli.bash RENAME rastelle-cli
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES README.md LICENSE THIRD-PARTY.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The guides beside the README, as its links name them (docs/user-guide.md ...), and the
# screenshots they show.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
    FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
if(RASTELLE_DEBIAN_FILES)
    install(FILES share/copyright ${RASTELLE_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/rastelle-cli)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rastelle-cli)
set(CPACK_PACKAGE_VENDOR "The Rastelle developers")
set(CPACK_PACKAGE_CONTACT "The Rastelle developers <rastelle@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image to assembler source converter for monochrome graphics")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "rastelle-cli turns BMP, PNG, GIF, TGA, PNM and PSD images into assembler\n"
    "source text, one binary digit per pixel, for calculators, retro machines\n"
    "and small monochrome displays, in the spelling of many assemblers.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
include(CPack)
