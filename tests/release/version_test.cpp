// The version a user sees, wherever they look, is the project's version: the
// built zorv.exe's version resource, its manifest and its version box text,
// and `zorv-cli --version`.
#include <gtest/gtest.h>

#include <string>

#include "support/cli_test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zorv {
namespace {

TEST(ReleaseVersion, ZorvCliReportsTheProjectVersion) {
    const test::ProcessResult result = test::RunCli({"--version"});
    EXPECT_EQ(0, result.status);
    // CLI11 ends the line with the platform's text newline.
    std::string out = result.out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    EXPECT_EQ("zorv-cli " ZORV_VERSION, out);
}

#ifdef _WIN32

// The test runs under Wine, which maps the build machine's / to drive Z:.
constexpr char kZorvExe[] = "Z:" ZORV_EXE;

// The built program, loaded as data: its resources are read without running it.
class ZorvExeResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(kZorvExe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module_) << kZorvExe;
    }
    void TearDown() override {
        if (module_) {
            FreeLibrary(module_);
        }
    }

    std::string Resource(LPCSTR name, LPCSTR type) const {
        HRSRC found = FindResourceA(module_, name, type);
        if (!found) {
            return "";
        }
        const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
        return std::string(data, SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

std::string FourPartVersion() {
    return std::to_string(ZORV_VERSION_MAJOR) + "." + std::to_string(ZORV_VERSION_MINOR) + "." +
           std::to_string(ZORV_VERSION_PATCH) + ".0";
}

TEST_F(ZorvExeResources, VersionBlockNamesTheProjectVersion) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(kZorvExe, &ignored);
    ASSERT_NE(0u, size);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(kZorvExe, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    const struct {
        const char* field;
        DWORD ms, ls;
    } words[] = {{"file", fixed->dwFileVersionMS, fixed->dwFileVersionLS},
                 {"product", fixed->dwProductVersionMS, fixed->dwProductVersionLS}};
    for (const auto& w : words) {
        EXPECT_EQ(static_cast<DWORD>(ZORV_VERSION_MAJOR << 16 | ZORV_VERSION_MINOR), w.ms)
            << w.field;
        EXPECT_EQ(static_cast<DWORD>(ZORV_VERSION_PATCH << 16), w.ls) << w.field;
    }
    for (const char* name : {"FileVersion", "ProductVersion"}) {
        const std::string key = std::string("\\StringFileInfo\\041103a4\\") + name;
        char* text = nullptr;
        UINT length = 0;
        ASSERT_TRUE(
            VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &length))
            << name;
        EXPECT_STREQ(ZORV_VERSION, text) << name;
    }
}

TEST_F(ZorvExeResources, ManifestAndVersionTextNameTheProjectVersion) {
    const std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    EXPECT_NE(std::string::npos,
              manifest.find("name=\"Zorv\" version=\"" + FourPartVersion() + "\""))
        << manifest;

    char text[256] = {};
    ASSERT_LT(0, LoadStringA(module_, 90, text, sizeof text));
    EXPECT_EQ("Zorv ver." ZORV_VERSION "\nCopyright (C) 2026 The Zorv developers",
              std::string(text));
}

#endif

}  // namespace
}  // namespace zorv
