# Decryption, the edit session and the tray icon from start to end (included
# by CMakeLists.txt). The session scenarios register the test editor of
# tests/support under HKEY_CLASSES_ROOT, hence the association lock too.
zorv_add_e2e_test(NAME e2e_decrypt_test
                  SOURCES decrypt_e2e_test.cpp decrypt_steps.cpp)
target_link_libraries(e2e_decrypt_test PRIVATE zorv_crypto zorv_text)

zorv_add_e2e_test(NAME e2e_session_test
                  SOURCES session_e2e_test.cpp decrypt_steps.cpp)
target_link_libraries(e2e_session_test PRIVATE zorv_crypto zorv_text zorv_editor_support)
target_compile_definitions(e2e_session_test PRIVATE
    ZORV_TEST_EDITOR_EXE="$<TARGET_FILE:zorv_test_editor>")
add_dependencies(e2e_session_test zorv_test_editor)
set_property(TEST e2e_session_test APPEND PROPERTY RESOURCE_LOCK zorv_association)
