// zorv_first_dialog <zorv.exe>: starts the given program without arguments,
// as a user does after unpacking the ZIP, and checks that it reaches its
// first dialog (the settings) with every control in place, then cancels it
// and checks that the program ended without writing zorv.ini beside itself.
// Exit status 0 when all of that held; the reason otherwise, on stderr.
#include <cstdio>
#include <string>

#include "app/resource_ids.h"
#include "support/harness.h"

int main(int argc, char** argv) {
    using namespace zorv::e2e;
    if (argc != 2) {
        std::fprintf(stderr, "usage: zorv_first_dialog <zorv.exe>\n");
        return 2;
    }
    const std::string exe = ToWindowsPath(argv[1]);
    const std::string folder = exe.substr(0, exe.find_last_of("\\/"));
    ZorvProcess zorv;
    if (!zorv.Start("", exe)) {
        std::fprintf(stderr, "%s did not start\n", exe.c_str());
        return 1;
    }
    const DialogView settings =
        zorv.WaitForDialog({"",
                            {IDC_ASSOCIATION, IDC_SEND_TO, IDC_MINIMUM_CHARS, IDC_USE_TEMP_DIR,
                             IDC_REMEMBER_LAST, IDOK, IDCANCEL, IDC_VERSION}});
    if (!settings.IsValid()) {
        std::fprintf(stderr, "the settings dialog did not appear\n");
        return 1;
    }
    if (!settings.Click(IDCANCEL) || !zorv.WaitForExit()) {
        std::fprintf(stderr, "the settings dialog did not end on Cancel\n");
        return 1;
    }
    if (zorv::FileExists(folder + "\\zorv.ini")) {
        std::fprintf(stderr, "Cancel wrote zorv.ini\n");
        return 1;
    }
    std::printf("%s: the settings dialog opened and closed\n", exe.c_str());
    return 0;
}
