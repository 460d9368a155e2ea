# Generates, from the UTF-8 sources of every Japanese text, what the compilers
# read. Run with cmake -P:
#
#   -DMODE=cpp -DMESSAGES=<messages.ja.txt> -DVERSION=<x.y.z> -DOUTPUT=<message_texts.cpp>
#       the string table as a C++ table of UTF-8 texts (MessageTextUtf8)
#   -DMODE=rc -DMESSAGES=<messages.ja.txt> -DVERSION=<x.y.z> -DTEMPLATE=<zorv.rc.in>
#       -DRES_DIR=<res folder> -DMANIFEST=<zorv.manifest> -DICONV=<iconv> -DOUTPUT=<zorv.rc>
#       the resource script: the template with the string table put in,
#       converted to code page 932 by iconv (which fails on any text the
#       code page cannot hold)
#
# @ZORV_VERSION@ in a text, and @ZORV_VERSION@ and @ZORV_VERSION_WORDS@ (the
# four numbers of a VERSIONINFO, comma-separated) in the template, become the
# project's version, so the version box, the version resource and the
# manifest cannot disagree with it.
#
# Non-ASCII bytes, and in the resource script both bytes of every double-byte
# character, are written as three-digit octal escapes, so neither the C
# preprocessor nor the resource compiler ever sees raw double-byte text: in
# code page 932 the second byte of a character may be 0x5C, a backslash, which
# would start an escape sequence or swallow a closing quote (as in the 0x94
# 0x5C of message 55). The resource compiler decodes the escaped bytes with
# its code page (windres -c 932).
cmake_minimum_required(VERSION 3.20)

# out := text with every byte outside ASCII written as a three-digit octal
# escape. With cp932 set, the byte after a lead byte (0x81-0x9F, 0xE0-0xFC)
# is escaped too, whatever its value: it may be 0x5C or a quote.
function(escape_bytes text cp932 out)
    string(HEX "${text}" hex)
    string(REGEX MATCHALL ".." bytes "${hex}")
    set(result "")
    set(trail FALSE)
    foreach(byte IN LISTS bytes)
        math(EXPR value "0x${byte}")
        if(value GREATER_EQUAL 128 OR trail)
            math(EXPR d1 "${value} / 64")
            math(EXPR d2 "(${value} / 8) % 8")
            math(EXPR d3 "${value} % 8")
            string(APPEND result "\\${d1}${d2}${d3}")
        else()
            string(ASCII ${value} character)
            string(APPEND result "${character}")
        endif()
        if(cp932 AND NOT trail AND ((value GREATER_EQUAL 129 AND value LESS_EQUAL 159) OR
                                    (value GREATER_EQUAL 224 AND value LESS_EQUAL 252)))
            set(trail TRUE)
        else()
            set(trail FALSE)
        endif()
    endforeach()
    set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Reads messages.ja.txt into the lists ids and texts ("\n" kept as escape).
function(read_messages file ids_out texts_out)
    file(STRINGS "${file}" lines ENCODING UTF-8)
    set(ids "")
    set(texts "")
    foreach(line IN LISTS lines)
        if(line STREQUAL "" OR line MATCHES "^#")
            continue()
        endif()
        if(NOT line MATCHES "^([0-9]+)\t(.*)$")
            message(FATAL_ERROR "${file}: not an \"ID<TAB>text\" line: ${line}")
        endif()
        list(APPEND ids "${CMAKE_MATCH_1}")
        string(REPLACE "@ZORV_VERSION@" "${VERSION}" text "${CMAKE_MATCH_2}")
        list(APPEND texts "${text}")
    endforeach()
    set(${ids_out} "${ids}" PARENT_SCOPE)
    set(${texts_out} "${texts}" PARENT_SCOPE)
endfunction()

function(write_if_changed file content)
    if(EXISTS "${file}")
        file(READ "${file}" old)
        if(old STREQUAL content)
            return()
        endif()
    endif()
    file(WRITE "${file}" "${content}")
endfunction()

function(generate_cpp)
    read_messages("${MESSAGES}" ids texts)
    set(cases "")
    foreach(id text IN ZIP_LISTS ids texts)
        # The source's escapes ("\n", "\\", and a quote) mean the same in C++.
        string(REPLACE "\"" "\\\"" text "${text}")
        escape_bytes("${text}" FALSE text)
        string(APPEND cases "        case ${id}:\n            return \"${text}\";\n")
    endforeach()
    write_if_changed("${OUTPUT}" "// Generated from res/messages.ja.txt by res/generate_texts.cmake.
#include \"app/message_texts.h\"

namespace zorv {

const char* MessageTextUtf8(int id) {
    switch (id) {
${cases}        default:
            return \"\";
    }
}

}  // namespace zorv
")
endfunction()

function(generate_rc)
    read_messages("${MESSAGES}" ids texts)
    set(table "STRINGTABLE\nBEGIN\n")
    foreach(id text IN ZIP_LISTS ids texts)
        string(REPLACE "\"" "\"\"" text "${text}")
        string(APPEND table "    ${id}, \"${text}\"\n")
    endforeach()
    string(APPEND table "END\n")
    file(READ "${TEMPLATE}" script)
    string(REPLACE "@STRING_TABLE@" "${table}" script "${script}")
    string(REPLACE "@RES_DIR@" "${RES_DIR}" script "${script}")
    string(REPLACE "@MANIFEST@" "${MANIFEST}" script "${script}")
    string(REPLACE "." ";" words "${VERSION}")
    list(APPEND words 0)
    list(SUBLIST words 0 4 words)
    list(JOIN words ", " words)
    string(REPLACE "@ZORV_VERSION_WORDS@" "${words}" script "${script}")
    string(REPLACE "@ZORV_VERSION@" "${VERSION}" script "${script}")
    file(WRITE "${OUTPUT}.utf8" "${script}")
    execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932 "${OUTPUT}.utf8"
                    OUTPUT_VARIABLE cp932 RESULT_VARIABLE status ERROR_VARIABLE error)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "iconv could not convert the resource texts to code page 932: ${error}")
    endif()
    escape_bytes("${cp932}" TRUE escaped)
    write_if_changed("${OUTPUT}" "${escaped}")
endfunction()

if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "VERSION must be x.y.z, not \"${VERSION}\"")
endif()
if(MODE STREQUAL "cpp")
    generate_cpp()
elseif(MODE STREQUAL "rc")
    generate_rc()
else()
    message(FATAL_ERROR "MODE must be cpp or rc")
endif()
