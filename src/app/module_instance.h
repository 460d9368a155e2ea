// The process's module instance handle, stored by the program entry before
// anything else; the settings store, the messages and the dialogs load their
// resources and find the executable through it.
#pragma once

#include <windows.h>

namespace zorv {

void SetModuleInstance(HINSTANCE instance);

// The stored handle; before SetModuleInstance the handle of the executable
// (GetModuleHandleA(nullptr)), so tests and tools need not set it.
HINSTANCE ModuleInstance();

}  // namespace zorv
