#include "app/module_instance.h"

namespace zorv {
namespace {

HINSTANCE g_moduleInstance = nullptr;

}  // namespace

void SetModuleInstance(HINSTANCE instance) {
    g_moduleInstance = instance;
}

HINSTANCE ModuleInstance() {
    return g_moduleInstance != nullptr ? g_moduleInstance : GetModuleHandleA(nullptr);
}

}  // namespace zorv
