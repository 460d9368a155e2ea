# Install rules and CPack: what a release holds, from the build tree of each
# platform.
#
#   Windows (win64, win32): a portable ZIP, zorv-<version>-windows-x64.zip or
#     -windows-x86.zip: zorv.exe and zorv-cli.exe at the top, LICENSE.txt,
#     CHANGELOG.md, SECURITY.md, and under docs/ the user guides with their
#     pictures and the format description. No zorv.ini:
#     the program writes it beside itself on the first OK of its settings.
#   Linux: zorv-cli_<version>_amd64.deb and zorv-cli-<version>-linux-x86_64.tar.gz,
#     both with bin/zorv-cli, the manual page gzipped under share/man/man1 and
#     the copyright file under share/doc/zorv-cli.
#
# `cmake --install <build> --prefix <dir>` installs the same files for
# packagers (add --strip for stripped programs; CPack always strips). The
# install step does not build: build first (`cmake --build`, or the targets
# zorv, zorv-cli and, on Linux, zorv-cli-docs, as scripts/make-dist does), so
# that installing from a tree configured with the tests does not build them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
include(GNUInstallDirs)

# Where to send questions and vulnerability reports; the Debian maintainer.
set(ZORV_CONTACT "The Zorv developers <zorv@example.org>" CACHE STRING
    "Name and address of the maintainers, as the packages name them")

if(WIN32)
    # Portable: everything in one folder, the guides beside the programs.
    install(TARGETS zorv zorv-cli RUNTIME DESTINATION .)
    install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
    install(FILES CHANGELOG.md DESTINATION .)
    install(FILES docs/crp-format.md DESTINATION docs)
    if(EXISTS ${PROJECT_SOURCE_DIR}/SECURITY.md)
        install(FILES SECURITY.md DESTINATION .)
    endif()
    foreach(folder en ja images)
        if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/docs/${folder})
            install(DIRECTORY docs/${folder} DESTINATION docs)
        endif()
    endforeach()
else()
    install(TARGETS zorv-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # Debian wants manual pages compressed, and without a timestamp (-n) so
    # the package is the same from one build to the next.
    find_program(ZORV_GZIP gzip REQUIRED)
    set(manpage ${CMAKE_CURRENT_BINARY_DIR}/zorv-cli.1.gz)
    add_custom_command(
        OUTPUT ${manpage}
        COMMAND ${ZORV_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/docs/zorv-cli.1 > ${manpage}
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/zorv-cli.1
        COMMENT "Compressing the manual page")
    install(FILES ${manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

    # The copyright file in Debian's machine-readable form, with the licence
    # text from LICENSE (each line indented, empty lines as " .").
    file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE license_lines)
    list(REMOVE_AT license_lines 0)  # the title, "MIT License"
    set(ZORV_LICENSE_TEXT "")
    foreach(line IN LISTS license_lines)
        if(line STREQUAL "")
            string(APPEND ZORV_LICENSE_TEXT " .\n")
        else()
            string(APPEND ZORV_LICENSE_TEXT " ${line}\n")
        endif()
    endforeach()
    string(REGEX REPLACE "^ \\.\n" "" ZORV_LICENSE_TEXT "${ZORV_LICENSE_TEXT}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorv-cli)

    # Debian wants a changelog in its own format beside the copyright file:
    # one entry for this version, dated by CHANGELOG.md's entry for it.
    file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog)
    string(REPLACE "." "\\." escaped_version "${PROJECT_VERSION}")
    if(NOT changelog MATCHES "\n## \\[?${escaped_version}\\]? - ([0-9]+-[0-9]+-[0-9]+)")
        message(FATAL_ERROR "CHANGELOG.md has no entry \"## ${PROJECT_VERSION} - YYYY-MM-DD\"")
    endif()
    execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_1} 12:00" OUTPUT_VARIABLE ZORV_RELEASE_DATE
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/debian-changelog.in
                   ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
    set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
    add_custom_command(
        OUTPUT ${changelog_gz}
        COMMAND ${ZORV_GZIP} -9 -n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog > ${changelog_gz}
        DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
        COMMENT "Compressing the Debian changelog")
    add_custom_target(zorv-cli-docs ALL DEPENDS ${manpage} ${changelog_gz})
    install(FILES ${changelog_gz} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorv-cli)
endif()

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Zorv developers")
set(CPACK_PACKAGE_CONTACT "${ZORV_CONTACT}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(arch x64)
    else()
        set(arch x86)
    endif()
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_NAME zorv)
    set(CPACK_PACKAGE_FILE_NAME zorv-${PROJECT_VERSION}-windows-${arch})
else()
    set(CPACK_GENERATOR DEB TGZ)
    set(CPACK_PACKAGE_NAME zorv-cli)
    set(CPACK_PACKAGE_FILE_NAME zorv-cli-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "encrypt and decrypt Zorv .crp files")
    # CPack puts the summary first and indents these lines itself.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "zorv-cli reads and writes the .crp files of Zorv, a Windows file-encryption
tool, with the same checks and messages, so that people on Linux can open
the files they receive and scripts can encrypt whole folder trees.

The .crp format is Blowfish in 64-bit cipher-feedback mode keyed directly
with the password, with a fixed initialisation vector and a CRC-32: it is
kept for compatibility and is weak against password guessing.")
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZORV_CONTACT}")
endif()
include(CPack)
