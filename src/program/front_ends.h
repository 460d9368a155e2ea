// The dialogs the program entry opens, one function per kind. Each constructs
// its dialog right before the modal run (with the module instance, no owner)
// and destroys it right after; their results are not used.
#pragma once

#include "app/file_list.h"

namespace zorv {

void RunSettingsFrontEnd();
// files: read only, outlives the call.
void RunEncryptFrontEnd(const FileRange& files);
void RunDecryptFrontEnd(const FileRange& files, int templateId);
// 0 (cancel), 1 (encrypt), 2 (decrypt), or -1 when the dialog fails.
int RunModeSelect();

}  // namespace zorv
