// Started by the VanishingFile test, which kills it: makes a temporary
// beside the path it is given and writes to it, says so by creating that
// path + ".ready", and waits for the end.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "crypto/file_handle.h"

int main(int argc, char** argv) {
    zorv::VanishingFile output;
    if (argc < 2 || output.Create(argv[1]) != zorv::kResultOk) {
        return 1;
    }
    const std::vector<uint8_t> bytes(1 << 20, 0x5A);
    if (output.File().Write(bytes.data(), bytes.size()) != bytes.size()) {
        return 1;
    }
    zorv::FileHandle ready;
    if (!ready.CreateForWrite((std::string(argv[1]) + ".ready").c_str(), false)) {
        return 1;
    }
    ready.Close();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
