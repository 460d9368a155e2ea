# The application core.
#
# zorv_text (every platform): the double-byte-aware string and path
# operations and the string table's texts for portable code. The texts are
# generated from res/messages.ja.txt, the one source of the string table.
set(ZORV_MESSAGES ${PROJECT_SOURCE_DIR}/res/messages.ja.txt)
set(ZORV_TEXTS_SCRIPT ${PROJECT_SOURCE_DIR}/res/generate_texts.cmake)
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/message_texts.cpp
    COMMAND ${CMAKE_COMMAND} -DMODE=cpp -DMESSAGES=${ZORV_MESSAGES} -DVERSION=${PROJECT_VERSION}
            -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/message_texts.cpp -P ${ZORV_TEXTS_SCRIPT}
    DEPENDS ${ZORV_MESSAGES} ${ZORV_TEXTS_SCRIPT} ${PROJECT_SOURCE_DIR}/CMakeLists.txt  # the version
    COMMENT "Generating the message texts from messages.ja.txt")

add_library(zorv_text STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/dbcs.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/path_utils.cpp
    ${CMAKE_CURRENT_BINARY_DIR}/message_texts.cpp)
target_include_directories(zorv_text PUBLIC ${PROJECT_SOURCE_DIR}/src)
zorv_target_warnings(zorv_text)

# zorv_app (Windows): files, messages, settings and the dialog framework.
# Executables that use the messages or dialogs also link zorv_resources
# (res/), which holds the string table and the templates.
if(WIN32)
    add_library(zorv_app STATIC
        ${CMAKE_CURRENT_SOURCE_DIR}/dialog_base.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/file_system.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/ini_file.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/messages.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/module_instance.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/settings.cpp)
    target_include_directories(zorv_app PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(zorv_app PUBLIC zorv_text)
    zorv_target_warnings(zorv_app)
endif()
