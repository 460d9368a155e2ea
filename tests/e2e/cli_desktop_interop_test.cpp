// zorv-cli and the desktop program read each other's files: the real
// zorv.exe under Wine, driven through its dialogs, decrypts what zorv-cli.exe
// encrypted, and zorv-cli.exe decrypts what zorv.exe encrypted.
#include <gtest/gtest.h>

#include "app/resource_ids.h"
#include "support/cli_test_util.h"
#include "e2e/decrypt_steps.h"
#include "support/cp932.h"

namespace zorv {
namespace {

using e2e::Quote;
using test::ProcessResult;
using test::ScratchFolder;

TEST(CliDesktopInterop, TheDesktopDecryptsWhatTheCliEncrypted) {
    ScratchFolder secrets, work;
    ASSERT_TRUE(test::WriteText(secrets / "password", std::string(e2e::kDecryptPassword) + "\n"));
    const std::string plain = e2e::PatternBytes(10000, 3);
    ASSERT_TRUE(test::WriteText(work / "from-cli.txt", plain));
    ProcessResult cli =
        test::RunCli({"encrypt", "--password-file", secrets / "password", work / "from-cli.txt"});
    ASSERT_EQ(cli.status, 0) << cli.out << cli.err;

    e2e::DecryptRun desktop;
    ASSERT_TRUE(desktop.Start(Quote(work / "from-cli.txt.crp"), true));
    ASSERT_TRUE(desktop.Submit(e2e::kDecryptPassword, IDC_REENCRYPT_NONE));
    ASSERT_TRUE(desktop.Process().WaitForExit());  // a clean batch closes at once
    EXPECT_EQ(ReadFileOrMissing(work / "from-cli.txt"), plain);
    EXPECT_FALSE(test::Exists(work / "from-cli.txt.crp"));
}

TEST(CliDesktopInterop, TheCliDecryptsWhatTheDesktopEncrypted) {
    ScratchFolder secrets, work;
    const std::string password = "desktop-pw";
    ASSERT_TRUE(test::WriteText(secrets / "password", password + "\n"));
    const std::string plain = e2e::PatternBytes(20000, 4);
    ASSERT_TRUE(test::WriteText(work / "from-desktop.txt", plain));

    e2e::ZorvProcess desktop;
    ASSERT_TRUE(desktop.Start(Quote(work / "from-desktop.txt")));
    e2e::DialogView dialog = desktop.WaitForDialog(e2e::DialogQuery(
        test::Cp932(u8"Zorv - 暗号化"), {IDC_ENCRYPT_PASSWORD, IDC_ENCRYPT_CONFIRM}));
    ASSERT_TRUE(dialog.IsValid());
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_PASSWORD, password));
    ASSERT_TRUE(dialog.SetEditText(IDC_ENCRYPT_CONFIRM, password));
    ASSERT_TRUE(dialog.Click(IDOK));
    ASSERT_TRUE(desktop.WaitForExit());
    ASSERT_TRUE(test::Exists(work / "from-desktop.txt.crp"));
    ASSERT_FALSE(test::Exists(work / "from-desktop.txt"));  // the box is ticked by default

    ProcessResult cli = test::RunCli({"decrypt", "--lang", "en", "--password-file",
                                      secrets / "password", work / "from-desktop.txt.crp"});
    EXPECT_EQ(cli.status, 0) << cli.out << cli.err;
    EXPECT_EQ(ReadFileOrMissing(work / "from-desktop.txt"), plain);
}

}  // namespace
}  // namespace zorv
