// The dialogs the program entry opens, one function per kind. Each constructs
// its dialog right before the modal run (with the module instance, no owner)
// and destroys it right after; their results are not used.
#pragma once

namespace zorv {

void RunSettingsFrontEnd();
// files: the range's first path, count paths; read only, outlives the call.
void RunEncryptFrontEnd(const char* const* files, int count);
void RunDecryptFrontEnd(const char* const* files, int count, int templateId);
// 0 (cancel), 1 (encrypt), 2 (decrypt), or -1 when the dialog fails.
int RunModeSelect();

}  // namespace zorv
