// Every resource ID of the program: dialog templates, controls, the tray
// menu, icons and strings. Read by the C++ code and by the resource script
// (hence plain #defines).
#pragma once

// Dialog templates.
#define IDD_SETTINGS 110
#define IDD_ENCRYPT 111
#define IDD_DECRYPT_SINGLE 112  // one file, with the re-encrypt choices
#define IDD_MODE_SELECT 113
#define IDD_DECRYPT_MULTI 114  // several items or a folder

// Controls. IDOK (1) and IDCANCEL (2) are the platform's.
#define IDC_DECRYPT_PASSWORD 1000
#define IDC_ENCRYPT_PASSWORD 1001
#define IDC_ENCRYPT_CONFIRM 1002
#define IDC_PROCESSING 1004  // "processing" label over the log, hidden at first
#define IDC_ENCRYPT_PASSWORD_LABEL 1005
#define IDC_ENCRYPT_CONFIRM_LABEL 1006
#define IDC_DECRYPT_PASSWORD_LABEL 1007
#define IDC_ASSOCIATION 1008
#define IDC_SEND_TO 1009
#define IDC_MINIMUM_CHARS 1010
#define IDC_USE_TEMP_DIR 1011
#define IDC_REMEMBER_LAST 1012
#define IDC_VERSION 1014
#define IDC_DELETE_SOURCE 1015
#define IDC_LOG 1018  // progress log, hidden and disabled at first
#define IDC_MODE_ENCRYPT 1019
#define IDC_MODE_DECRYPT 1020
#define IDC_REENCRYPT_AUTO 1025
#define IDC_REENCRYPT_TRAY 1026
#define IDC_REENCRYPT_NONE 1027
#define IDC_REENCRYPT_GROUP 1028
#define IDC_READ_ONLY 1029

// Tray menu: one untitled pop-up with one item.
#define IDM_TRAY 114
#define IDM_REENCRYPT 40001

// Icons.
#define IDI_PROGRAM 101
#define IDI_ENCRYPTED_FILE 102
#define IDI_MODE_SELECT 104

// Strings (res/messages.ja.txt). 70-85 are also ResultCode values.
#define IDS_PRODUCT_NAME 1
#define IDS_CLOSE 10
#define IDS_MODE_NONE 30
#define IDS_MODE_AUTO 31
#define IDS_MODE_SEMIAUTO 32
#define IDS_FILE_NOT_FOUND 50
#define IDS_PASSWORD_MISMATCH 51
#define IDS_OUT_OF_MEMORY 52
#define IDS_OPEN_WORKING_COPY_FAILED 53
#define IDS_REENCRYPT_FAILED 54  // "%s": the working copy's path
#define IDS_NO_CLIPBOARD_FILES 55
#define IDS_TEMP_DELETE_FAILED 56   // "%s": the working copy's path
#define IDS_SESSION_ENDING 57       // why logoff waits while a session re-encrypts
#define IDS_UNHANDLED_NAME 58       // "%s": a name without an exact ANSI form
#define IDS_PASSWORD_CHARACTERS 59  // a password character code page 932 lacks
#define IDS_NOTHING_TO_PROCESS 60   // a batch that found no file to work on
#define IDS_BATCH_STOPPING 61       // the label after a close asked for during a batch
#define IDS_BATCH_ENDING 62         // why logoff waits while a batch finishes its file

// A start after an edit session that never ended (decrypt/orphan_recovery.h).
#define IDS_ORPHAN_QUESTION 63          // "%s": the working copy left, "%s": its .crp
#define IDS_ORPHAN_DELETE_FAILED 64     // "%s": that working copy
#define IDS_ORPHAN_REENCRYPT_FAILED 65  // "%s": that working copy

#define IDS_PROCESSING_STARTED 77
#define IDS_PROCESSING_DONE 78
#define IDS_VERSION 90  // the version line and the authorship line
