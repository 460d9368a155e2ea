// Registry helpers for the shell tests: a private key tree under
// HKEY_CURRENT_USER\Software\ZorvTest that each test starts and ends
// without, and direct reads and writes that do not go through the code under
// test.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "support/shell_probes.h"
#include "support/win32_test_support.h"

namespace zorv::test {

constexpr char kTestRoot[] = "Software\\ZorvTest";

// Creates parent\path and sets its default value (REG_SZ, or type).
void WriteDefault(HKEY parent, const std::string& path, const std::string& value,
                  DWORD type = REG_SZ);
void CreateKey(HKEY parent, const std::string& path, DWORD options = 0);
// Lets everybody read parent\path and nobody write it, as a machine-wide key
// looks to a standard user. The key can still be deleted from the tests.
void MakeReadOnly(HKEY parent, const std::string& path);

// Removes HKCU\Software\ZorvTest before and after each test.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // HKCU-relative path of a key under the private tree.
    static std::string TestPath(const std::string& name);
};

}  // namespace zorv::test
