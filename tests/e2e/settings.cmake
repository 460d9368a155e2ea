# The settings dialog from start to end (included by CMakeLists.txt). It
# writes HKEY_CLASSES_ROOT like the shell unit tests, hence their lock too.
zorv_add_e2e_test(NAME e2e_settings_test SOURCES settings_e2e_test.cpp)
target_link_libraries(e2e_settings_test PRIVATE ole32 uuid shell32 advapi32)
target_compile_definitions(e2e_settings_test PRIVATE ZORV_VERSION="${PROJECT_VERSION}")
set_property(TEST e2e_settings_test APPEND PROPERTY RESOURCE_LOCK zorv_association)
