# zorv.exe: the program entry, command-line and clipboard lists, the dispatch
# and the mode-select dialog (Windows only).
#
# zorv_entry holds everything but WinMain and the front ends, so the tests
# link the same code.
add_library(zorv_entry STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/clipboard_list.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/command_line.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/dispatch.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/file_list.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/mode_select_dialog.cpp)
target_include_directories(zorv_entry PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(zorv_entry PUBLIC zorv_app zorv_text shell32 user32)
zorv_target_warnings(zorv_entry)

# The front ends each dialog kind opens (front_ends.cpp) live in their own
# libraries: the settings dialog in src/shell, the encryption dialog in
# src/encrypt, the decryption dialogs in src/decrypt.
add_executable(zorv WIN32
    ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/program.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/front_ends.cpp)
target_link_libraries(zorv PRIVATE zorv_entry zorv_shell zorv_decrypt zorv_encrypt
    zorv_app zorv_text zorv_crypto zorv_resources)
zorv_target_warnings(zorv)
