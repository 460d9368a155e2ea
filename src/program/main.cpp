// zorv.exe: a GUI-subsystem process without a main window; it ends when the
// one dialog chosen from its command line returns.
#include <windows.h>

#include "program/program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The command line is taken from GetCommandLineW, with the program path.
    return zorv::RunProgram(instance);
}
