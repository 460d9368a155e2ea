# Test helpers: one small GoogleTest executable per module.
#
#   zorv_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>] [LABELS <l...>])
#
# Under a cross build CTest runs the executable through the emulator set by
# the toolchain file (scripts/wine-run), so the same test list serves the
# native and the Windows builds.

# GoogleTest: a source copy (Debian's in /usr/src/googletest by default),
# built here with our compilers so that it serves the sanitizer and the cross
# builds, or else an installed GoogleTest that find_package(GTest) finds.
# Either way the tests link GTest::gtest and GTest::gtest_main.
set(ZORV_GTEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest sources to build with the tests; without them an installed GoogleTest is used")

macro(zorv_add_googletest)
    if(NOT TARGET GTest::gtest)
        if(EXISTS ${ZORV_GTEST_SOURCE}/CMakeLists.txt)
            set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
            set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
            set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
            add_subdirectory(${ZORV_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
            # Newer copies name their targets so themselves.
            if(NOT TARGET GTest::gtest)
                add_library(GTest::gtest ALIAS gtest)
                add_library(GTest::gtest_main ALIAS gtest_main)
            endif()
        else()
            find_package(GTest)
            if(NOT GTest_FOUND)
                message(FATAL_ERROR "GoogleTest not found: install it (scripts/setup installs "
                                    "the sources into /usr/src/googletest), or build with "
                                    "-DZORV_BUILD_TESTS=OFF")
            endif()
        endif()
    endif()
endmacro()

function(zorv_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    zorv_target_warnings(${T_NAME})
    # GoogleTest's macros trip some of the stricter warnings.
    target_compile_options(${T_NAME} PRIVATE -Wno-sign-conversion -Wno-conversion)
    target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "ZORV_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
