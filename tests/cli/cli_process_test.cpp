// zorv-cli run as a user runs it, in a separate process: natively, and as a
// Windows console program under Wine (these tests, built for Windows, start
// zorv-cli.exe). Files are checked against the desktop transforms of
// FileCipher, so the two programs read each other's files.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/message_texts.h"
#include "cli_test_util.h"
#include "crypto/file_cipher.h"

#ifdef _WIN32
#include <windows.h>
// <windows.h> maps these names to its own file-encryption functions.
#undef EncryptFile
#undef DecryptFile
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zorv {
namespace {

using test::Bytes;
using test::Exists;
using test::ProcessResult;
using test::RandomBytes;
using test::ReadBytes;
using test::RunCli;
using test::ScratchFolder;
using test::WriteBytes;

constexpr char kPassword[] = "correct horse";

// Report lines are text: CR LF on Windows.
#ifdef _WIN32
const std::string kNewline = "\r\n";
#else
const std::string kNewline = "\n";
#endif

// The two lines of a failure in the desktop log's shape.
std::string FailureLines(const std::string& path, const std::string& message) {
    return path + kNewline + "\t->" + message + kNewline;
}

class CliProcess : public ::testing::Test {
protected:
    void SetUp() override {
        passwordFile = secrets / "password";
        ASSERT_TRUE(test::WriteText(passwordFile, std::string(kPassword) + "\n"));
    }

    ProcessResult Run(const std::string& command, std::vector<std::string> args) {
        args.insert(args.begin(), {command, "--lang", "en", "--password-file", passwordFile});
        return RunCli(args);
    }

    static FileCipher Cipher() { return FileCipher(kPassword, sizeof kPassword - 1); }

    ScratchFolder secrets;  // the password file lives apart from the work
    ScratchFolder work;
    std::string passwordFile;
};

TEST_F(CliProcess, EncryptsLikeTheDesktopAndDecryptsBack) {
    // Small: destroying the source costs 24 synchronous overwrites.
    Bytes plain = RandomBytes(30000, 11);
    ASSERT_TRUE(WriteBytes(work / "report.doc", plain));
    ASSERT_TRUE(WriteBytes(work / "copy", plain));
    ASSERT_EQ(Cipher().EncryptFile((work / "copy").c_str(), (work / "desktop.crp").c_str()), 0);

    ProcessResult encrypted = Run("encrypt", {work / "report.doc"});
    EXPECT_EQ(encrypted.status, 0) << encrypted.err;
    EXPECT_EQ(encrypted.out, work / "report.doc" + "...OK" + kNewline);
    EXPECT_FALSE(Exists(work / "report.doc"));  // destroyed without -k
    EXPECT_EQ(ReadBytes(work / "report.doc.crp"), ReadBytes(work / "desktop.crp"));

    ProcessResult decrypted = Run("decrypt", {"-k", work / "report.doc.crp"});
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    EXPECT_EQ(ReadBytes(work / "report.doc"), plain);
    EXPECT_TRUE(Exists(work / "report.doc.crp"));  // kept with -k
    // No temporary file is left beside the outputs.
    EXPECT_EQ(work.Names(),
              (std::vector<std::string>{"copy", "desktop.crp", "report.doc", "report.doc.crp"}));
}

TEST_F(CliProcess, BadInputLosesNothingAndSaysWhy) {
    Bytes good = ReadBytes(passwordFile);
    ASSERT_TRUE(WriteBytes(work / "plain", RandomBytes(5000, 2)));
    ASSERT_EQ(Cipher().EncryptFile((work / "plain").c_str(), (work / "good.crp").c_str()), 0);
    Bytes crp = ReadBytes(work / "good.crp");
    struct Case {
        const char* name;
        Bytes contents;
        const char* message;
    };
    const Case cases[] = {
        // Without its checksum text and pad. (Without the pad block alone a
        // file may still open: when the text ends in a letter, nothing is
        // stripped and the text is found in place, as the desktop finds it.)
        {"truncated.crp", Bytes(crp.begin(), crp.end() - 16), "Wrong password"},
        {"odd.crp", Bytes(crp.begin(), crp.end() - 3), "Wrong password"},
        {"empty.crp", Bytes(), "Files of size zero cannot be handled."},
        {"eight.crp", Bytes(8, 'x'), "Wrong password"},
        {"random.crp", RandomBytes(4112, 5), "Wrong password"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(work / c.name, c.contents));
        ProcessResult result = Run("decrypt", {work / c.name});
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(result.out, FailureLines(work / c.name, c.message));
        EXPECT_EQ(ReadBytes(work / c.name), c.contents) << c.name;  // untouched
        std::string target = work / c.name;
        EXPECT_FALSE(Exists(target.substr(0, target.size() - 4))) << c.name;
    }
    ProcessResult missing = Run("decrypt", {work / "missing.crp"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, FailureLines(work / "missing.crp", "The file does not exist"));
    EXPECT_EQ(work.Names().size(), 7u);  // plain, good.crp and the five cases: nothing else
}

TEST_F(CliProcess, NeverReplacesAnExistingTargetNorDestroysItsSource) {
    ASSERT_TRUE(WriteBytes(work / "a.txt", RandomBytes(100, 3)));
    ASSERT_TRUE(test::WriteText(work / "a.txt.crp", "someone else's file"));
    ProcessResult result = Run("encrypt", {work / "a.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, FailureLines(work / "a.txt.crp", "The file already exists"));
    EXPECT_EQ(ReadBytes(work / "a.txt"), RandomBytes(100, 3));
    EXPECT_EQ(ReadBytes(work / "a.txt.crp"),
              Bytes({'s', 'o', 'm', 'e', 'o', 'n', 'e', ' ', 'e', 'l', 's', 'e', '\'', 's', ' ',
                     'f', 'i', 'l', 'e'}));
    EXPECT_EQ(work.Names(), (std::vector<std::string>{"a.txt", "a.txt.crp"}));
}

TEST_F(CliProcess, SeveralJobsReportInTheOrderOfOne) {
    std::vector<std::string> crpNames;
    for (int i = 0; i < 24; ++i) {
        std::string name = "f" + std::to_string(100 + i);
        auto size = static_cast<std::size_t>(1 + (i * 7919) % 900000);
        ASSERT_TRUE(WriteBytes(work / name, RandomBytes(size, static_cast<std::uint32_t>(i))));
        crpNames.push_back(work / name + ".crp");
    }
    ASSERT_TRUE(test::WriteText(work / "already.crp", "x"));
    ProcessResult one = Run("encrypt", {"-k", "-r", "-j", "1", work.path()});
    Bytes firstFile = ReadBytes(crpNames[5]);
    for (const std::string& name : crpNames) {
        ASSERT_EQ(std::remove(name.c_str()), 0);
    }
    ProcessResult four = Run("encrypt", {"-k", "-r", "-j", "4", work.path()});
    EXPECT_EQ(one.status, 1);  // already.crp is refused
    EXPECT_EQ(four.status, 1);
    EXPECT_EQ(four.out, one.out);
    EXPECT_NE(one.out.find("already.crp" + kNewline + "\t->Already encrypted"), std::string::npos);
    EXPECT_EQ(ReadBytes(crpNames[5]), firstFile);
    // Each job its own cipher: every file decrypts on its own.
    ProcessResult verify = Run("verify", {"-j", "3", work.path(), "-r"});
    EXPECT_EQ(verify.out.find("Wrong password"), verify.out.rfind("Wrong password"))
        << "only already.crp fails:\n"
        << verify.out;
}

TEST_F(CliProcess, RefusesPasswordsTheDesktopCouldNotType) {
    ASSERT_TRUE(WriteBytes(work / "a", RandomBytes(10, 1)));
    const std::string refused[] = {
        "\n",                         // empty
        "\xF0\x9F\x98\x80\n",         // not in code page 932
        std::string(57, 'a') + "\n",  // 57 bytes
    };
    for (const std::string& password : refused) {
        ASSERT_TRUE(test::WriteText(passwordFile, password));
        ProcessResult result = Run("encrypt", {work / "a"});
        EXPECT_EQ(result.status, 2) << password;
        EXPECT_NE(result.err.find("password"), std::string::npos) << result.err;
    }
    EXPECT_EQ(work.Names(), (std::vector<std::string>{"a"}));
}

TEST_F(CliProcess, AJapanesePasswordKeysItsCodePage932Bytes) {
    // パスワード in UTF-8 in the file; the desktop program keys the same text
    // typed on Windows with its code page 932 bytes.
    ASSERT_TRUE(test::WriteText(passwordFile,
                                "\xE3\x83\x91\xE3\x82\xB9\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\x89\n"));
    ASSERT_TRUE(WriteBytes(work / "memo.txt", RandomBytes(777, 4)));
    ProcessResult result = Run("encrypt", {"-k", work / "memo.txt"});
    ASSERT_EQ(result.status, 0) << result.err;
    const char cp932[] = "\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68";
    FileCipher desktop(cp932, sizeof cp932 - 1);
    EXPECT_EQ(desktop.DecryptFile((work / "memo.txt.crp").c_str(), (work / "check").c_str()), 0);
    EXPECT_EQ(ReadBytes(work / "check"), RandomBytes(777, 4));
}

TEST_F(CliProcess, VerifyAndCatWriteNoPlainTextToAnyFile) {
    Bytes plain = RandomBytes(70000, 9);
    ASSERT_TRUE(WriteBytes(work / "plain", plain));
    ASSERT_EQ(Cipher().EncryptFile((work / "plain").c_str(), (work / "p.crp").c_str()), 0);
    ProcessResult verify = Run("verify", {work / "p.crp"});
    EXPECT_EQ(verify.status, 0);
    EXPECT_EQ(verify.out, work / "p.crp" + "...OK" + kNewline);
    ProcessResult cat = Run("cat", {work / "p.crp"});
    EXPECT_EQ(cat.status, 0);
    EXPECT_EQ(Bytes(cat.out.begin(), cat.out.end()), plain);
    EXPECT_EQ(work.Names(), (std::vector<std::string>{"p.crp", "plain"}));

    ASSERT_TRUE(test::WriteText(passwordFile, "wrong\n"));
    ProcessResult wrong = Run("cat", {work / "p.crp"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_GT(wrong.out.size(), plain.size() - 10);  // the data comes first ...
    EXPECT_EQ(wrong.err,
              FailureLines(work / "p.crp", "Wrong password"));  // ... the message after it
}

TEST_F(CliProcess, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunCli({}).status, 2);
    EXPECT_EQ(RunCli({"encrypt"}).status, 2);
    EXPECT_EQ(RunCli({"shred", "x"}).status, 2);
    EXPECT_EQ(RunCli({"encrypt", "--lang", "fr", "x"}).status, 2);
    EXPECT_EQ(RunCli({"encrypt", "-j", "0", "x"}).status, 2);
    ProcessResult help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--password-file"), std::string::npos);
}

// The .crp file is made and stays; the plain file stays too, and the exit
// status tells a script so.
TEST_F(CliProcess, ASourceThatCannotBeDestroyedFailsTheRun) {
    struct Case {
        const char* name;
        const char* message;
    };
    const Case kCases[] = {
        // A second name of the same file would lose its contents to the wipe.
        {"linked.txt",
         "Not deleted: the file has other names (hard links), whose contents overwriting would "
         "destroy. The encrypted file is in place; the original is kept."},
#ifdef _WIN32
        // Held open without write sharing, as another program might: the
        // wipe cannot open it.
        {"held.txt", "The file could not be deleted."},
#endif
    };
    const Bytes plain = RandomBytes(3000, 12);
    for (const Case& c : kCases) {
        const std::string path = work / c.name;
        ASSERT_TRUE(WriteBytes(path, plain));
        const bool linked = std::string(c.name) == "linked.txt";
        if (linked) {
            std::filesystem::create_hard_link(path, work / "other-name");
        }
#ifdef _WIN32
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
#endif
        ProcessResult result = Run("encrypt", {path});
#ifdef _WIN32
        CloseHandle(held);
#endif
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(result.out, FailureLines(path, c.message));
        EXPECT_EQ(ReadBytes(path), plain) << c.name;
        if (linked) {
            EXPECT_EQ(ReadBytes(work / "other-name"), plain);
        }
        ASSERT_EQ(Cipher().DecryptFile((path + ".crp").c_str(), (work / "check").c_str()), 0);
        EXPECT_EQ(ReadBytes(work / "check"), plain) << c.name;
    }
}

#ifndef _WIN32
TEST_F(CliProcess, ATargetPathPastTheLimitIsRefusedAsTooLong) {
    // Folders of 200 bytes until the file's path is 4093 bytes: the path
    // fits, its ".crp" name does not. (The desktop program says "already
    // exists" here, which would be wrong.)
    std::string path = work.path();
    while (path.size() + 201 + 10 < 4093) {
        path += "/" + std::string(200, 'd');
        ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    }
    path += "/" + std::string(4093 - path.size() - 1, 'f');
    ASSERT_EQ(path.size(), 4093u);
    ASSERT_TRUE(WriteBytes(path, RandomBytes(10, 1)));
    ProcessResult result = Run("encrypt", {path});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, FailureLines(path, "The path is too long"));
    EXPECT_EQ(ReadBytes(path), RandomBytes(10, 1));
}

TEST_F(CliProcess, JapaneseMessagesComeFromTheSharedTable) {
    ASSERT_TRUE(WriteBytes(work / "x.crp", RandomBytes(16, 1)));
    ProcessResult result =
        RunCli({"verify", "--lang", "ja", "--password-file", passwordFile, work / "x.crp"});
    EXPECT_EQ(result.out, FailureLines(work / "x.crp", MessageTextUtf8(75)));
}

TEST_F(CliProcess, AFullDiskLeavesTheSourceAndNoPartialFile) {
    Bytes plain = RandomBytes(1 << 20, 6);
    ASSERT_TRUE(WriteBytes(work / "big", plain));
    std::vector<std::string> args = {"encrypt",         "--lang",     "en",
                                     "--password-file", passwordFile, work / "big"};
    ProcessResult result = RunCli(args, 64 * 1024);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, FailureLines(work / "big", "Writing the file failed"));
    EXPECT_EQ(ReadBytes(work / "big"), plain);
    EXPECT_EQ(work.Names(), (std::vector<std::string>{"big"}));
}

// Interrupted part-way through a large file, by any of the signals a user or
// the system sends, once or twice: the source stays as it was, no output nor
// temporary file (a decryption's holds plain text) is left, and the program
// ends promptly with 128 + the signal's number.
TEST_F(CliProcess, InterruptLeavesTheSourceIntactAndNoTemporary) {
    struct Case {
        const char* command;
        const char* name;
        int signal;
        int times;
    };
    const Case kCases[] = {
        {"encrypt", "large", SIGINT, 1},     {"decrypt", "large.crp", SIGTERM, 1},
        {"decrypt", "large.crp", SIGHUP, 1}, {"decrypt", "large.crp", SIGQUIT, 1},
        {"decrypt", "large.crp", SIGINT, 2},
    };
    // Large enough that the work takes a good while even without sanitizers.
    const std::uint64_t size = 1ull << 30;
    const Bytes head = RandomBytes(1 << 16, 8);
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.command) + " signal " + std::to_string(c.signal) + " x" +
                     std::to_string(c.times));
        const std::string input = work / c.name;
        ASSERT_TRUE(WriteBytes(input, head));
        ASSERT_EQ(truncate(input.c_str(), static_cast<off_t>(size)), 0);
        int pid = test::StartCli(
            {c.command, "--lang", "en", "--password-file", passwordFile, input}, secrets / "out");
        // Wait until the temporary file shows the work has begun.
        for (int i = 0; i < 500 && work.Names().size() < 2; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < c.times; ++i) {
            ASSERT_EQ(kill(pid, c.signal), 0);
        }
        EXPECT_EQ(test::WaitCli(pid), 128 + c.signal);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(work.Names(), (std::vector<std::string>{c.name}));
        struct stat st = {};
        ASSERT_EQ(stat(input.c_str(), &st), 0);
        EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), size);
        std::ifstream in(input, std::ios::binary);
        Bytes kept(head.size());
        in.read(reinterpret_cast<char*>(kept.data()), static_cast<std::streamsize>(kept.size()));
        EXPECT_EQ(kept, head);
        in.close();
        std::remove(input.c_str());
    }
}
#endif

}  // namespace
}  // namespace zorv
