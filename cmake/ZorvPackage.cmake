# Install rules and CPack: what a release holds, from the build tree of each
# platform.
#
#   Windows (win64, win32): a portable ZIP, zorv-<version>-windows-x64.zip or
#     -windows-x86.zip, without a folder of its own (the guide has the user
#     unpack it into a folder they keep, and a newer ZIP over it): zorv.exe
#     and zorv-cli.exe at the top, README.txt and THIRD-PARTY-NOTICES.txt
#     for Notepad, LICENSE.txt, CHANGELOG.md, SECURITY.md, and under docs/
#     the user guides with their pictures, the format description and its
#     test vectors. No zorv.ini: the program writes it beside itself on the
#     first OK of its settings.
#   Linux: zorv-cli_<version>_amd64.deb and zorv-cli-<version>-linux-x86_64.tar.gz,
#     both with bin/zorv-cli, the manual page gzipped under share/man/man1,
#     the bash completion, and under share/doc/zorv-cli the copyright file,
#     the changelogs, README and SECURITY.
#
# `cmake --install <build> --prefix <dir>` installs the same files for
# packagers (add --strip for stripped programs; CPack always strips). The
# install step does not build: build first (`cmake --build`, or the targets
# zorv, zorv-cli and, on Linux, zorv-cli-docs, as scripts/make-dist does), so
# that installing from a tree configured with the tests does not build them.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
include(GNUInstallDirs)

# Who answers for the packages: the Debian Maintainer field and the
# changelog's signature. The project has no public address yet, and the
# packages must not name one that does not exist, so the default is a name
# without an address (check-dist accepts lintian's complaint about exactly
# that). Whoever gives the packages to others sets their own
# "Name <address>" here (scripts/make-dist takes DEBFULLNAME and DEBEMAIL).
set(ZORV_CONTACT "The Zorv developers (no address yet)" CACHE STRING
    "Name <address> of whoever answers for the packages")
set(ZORV_REPORTS "Zorv has no public address for reports yet. Report problems and
vulnerabilities on the issue tracker of the project where you obtained
Zorv, or to the person or organisation that gave you the program; report
a vulnerability privately, not in public.")

# Installs packaging/<source> at the top as <target>, for Notepad: with its
# @VARIABLES@ filled in, CRLF line ends and, with bom, a UTF-8 byte-order
# mark first.
function(zorv_install_notepad_text source target bom)
    set(mark "")
    if(bom)
        string(ASCII 239 187 191 mark)
    endif()
    file(READ ${PROJECT_SOURCE_DIR}/packaging/${source} text)
    set(staged ${CMAKE_CURRENT_BINARY_DIR}/packaging/${target}.in)
    file(WRITE ${staged} "${mark}${text}")
    configure_file(${staged} ${CMAKE_CURRENT_BINARY_DIR}/packaging/${target} @ONLY
                   NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${target} DESTINATION .)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${PROJECT_SOURCE_DIR}/packaging/${source})
endfunction()

if(WIN32)
    # Portable: everything in one folder, the guides beside the programs.
    install(TARGETS zorv zorv-cli RUNTIME DESTINATION .)
    install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
    install(FILES CHANGELOG.md DESTINATION .)
    install(FILES docs/crp-format.md docs/crp-vectors.txt DESTINATION docs)
    # Texts for Notepad: CRLF line ends, and the README, which holds
    # Japanese, in UTF-8 with a byte-order mark. Notepad before Windows 10
    # (1903) reads UTF-8 only with the mark; code page 932 would show right
    # only on Japanese systems, and the English half is for everyone else.
    set(ZORV_VERSION ${PROJECT_VERSION})
    zorv_install_notepad_text(README-windows.txt README.txt TRUE)
    zorv_install_notepad_text(THIRD-PARTY-NOTICES.txt THIRD-PARTY-NOTICES.txt FALSE)
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
    # Debian strips the compiler's version notes too; the install step's
    # strip (CPack, --strip) leaves them.
    install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zorv-cli\"
                  COMMAND_ERROR_IS_FATAL ANY)")
    install(FILES packaging/zorv-cli.bash-completion
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME zorv-cli)

    # The release date: CHANGELOG.md's entry for this version. It dates the
    # manual page and the Debian changelog.
    file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog)
    string(REPLACE "." "\\." escaped_version "${PROJECT_VERSION}")
    if(NOT changelog MATCHES "\n## \\[?${escaped_version}\\]? - ([0-9]+-[0-9]+-[0-9]+)")
        message(FATAL_ERROR "CHANGELOG.md has no entry \"## ${PROJECT_VERSION} - YYYY-MM-DD\"")
    endif()
    set(ZORV_RELEASE_DAY ${CMAKE_MATCH_1})
    execute_process(COMMAND date -u -R -d "${ZORV_RELEASE_DAY} 12:00" OUTPUT_VARIABLE ZORV_RELEASE_DATE
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(ZORV_VERSION ${PROJECT_VERSION})
    set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/zorv-cli)

    # Debian wants manual pages and changelogs compressed, and without a
    # timestamp (-n) so that the package is the same from one build to the
    # next; and every document in doc/ beyond 4 kB compressed too.
    find_program(ZORV_GZIP gzip REQUIRED)
    set(compressed "")
    macro(zorv_install_gzipped source name destination)
        add_custom_command(
            OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz
            COMMAND ${ZORV_GZIP} -9 -n -c ${source} > ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz
            DEPENDS ${source}
            COMMENT "Compressing ${name}")
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz DESTINATION ${destination})
        list(APPEND compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    endmacro()

    # The manual page's footer carries the version and the release date.
    configure_file(${PROJECT_SOURCE_DIR}/docs/zorv-cli.1 ${CMAKE_CURRENT_BINARY_DIR}/zorv-cli.1 @ONLY)
    zorv_install_gzipped(${CMAKE_CURRENT_BINARY_DIR}/zorv-cli.1 zorv-cli.1 ${CMAKE_INSTALL_MANDIR}/man1)

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
    string(REPLACE "\n" "\n " ZORV_REPORTS_FIELD "${ZORV_REPORTS}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${docdir})

    # Debian's own changelog (the package's format is native, so it is
    # changelog.gz): one entry for this version, pointing to CHANGELOG.md,
    # which is beside it.
    configure_file(${PROJECT_SOURCE_DIR}/cmake/debian-changelog.in
                   ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
    zorv_install_gzipped(${CMAKE_CURRENT_BINARY_DIR}/changelog changelog ${docdir})
    zorv_install_gzipped(${PROJECT_SOURCE_DIR}/CHANGELOG.md CHANGELOG.md ${docdir})
    zorv_install_gzipped(${PROJECT_SOURCE_DIR}/SECURITY.md SECURITY.md ${docdir})
    configure_file(${PROJECT_SOURCE_DIR}/packaging/README-linux.txt
                   ${CMAKE_CURRENT_BINARY_DIR}/README @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README DESTINATION ${docdir})
    add_custom_target(zorv-cli-docs ALL DEPENDS ${compressed})
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
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
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
