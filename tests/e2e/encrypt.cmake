# Encryption from start to end (included by CMakeLists.txt). The full-volume
# case uses the small volume of tests/encrypt's fixture.
zorv_add_e2e_test(NAME e2e_encrypt_test SOURCES encrypt_e2e_test.cpp encrypt_steps.cpp)
target_link_libraries(e2e_encrypt_test PRIVATE zorv_crypto)
set_tests_properties(e2e_encrypt_test PROPERTIES FIXTURES_REQUIRED zorv_full_volume)
set_property(TEST e2e_encrypt_test APPEND PROPERTY ENVIRONMENT
             "ZORV_FULL_VOLUME=${CMAKE_BINARY_DIR}/full-volume")
