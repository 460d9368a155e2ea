# Encryption from start to end (included by CMakeLists.txt).
zorv_add_e2e_test(NAME e2e_encrypt_test SOURCES encrypt_e2e_test.cpp encrypt_steps.cpp)
target_link_libraries(e2e_encrypt_test PRIVATE zorv_crypto)
