#include "shell/registry_fixture.h"

#include <sddl.h>

namespace zorv::test {

void WriteDefault(HKEY parent, const std::string& path, const std::string& value, DWORD type) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    const LONG status =
        RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS) << path;
}

void CreateKey(HKEY parent, const std::string& path, DWORD options) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(parent, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

void MakeReadOnly(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Protected DACL: read access for everyone, nothing else.
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;;KR;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    const LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

void RegistryTest::SetUp() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
}

void RegistryTest::TearDown() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
}

std::string RegistryTest::TestPath(const std::string& name) {
    return std::string(kTestRoot) + "\\" + name;
}

}  // namespace zorv::test
