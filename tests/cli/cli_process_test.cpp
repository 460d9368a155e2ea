// zorv-cli run as a user runs it, in a separate process: natively, and as a
// Windows console program under Wine (these tests, built for Windows, start
// zorv-cli.exe). Files are checked against the desktop transforms of
// FileCipher, so the two programs read each other's files.
#ifdef _WIN32
// First: file_cipher.h undoes its EncryptFile and DecryptFile macros.
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <fstream>
#include <thread>

#include "app/message_texts.h"
#include "support/cli_test_util.h"
#include "cli/interrupt.h"
#include "crypto/file_cipher.h"
#include "crypto/file_handle.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
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
        // Named outside code page 932: read through its wide name on Windows.
        passwordFile_ = secrets_ / "κωδικός";
        ASSERT_TRUE(test::WriteText(passwordFile_, std::string(kPassword) + "\n"));
    }

    ProcessResult Run(const std::string& command, std::vector<std::string> args) {
        args.insert(args.begin(), {command, "--lang", "en", "--password-file", passwordFile_});
        return RunCli(args);
    }

    static FileCipher Cipher() { return FileCipher(kPassword, sizeof kPassword - 1); }

    ScratchFolder secrets_;  // the password file lives apart from the work
    ScratchFolder work_;
    std::string passwordFile_;
};

TEST_F(CliProcess, EncryptsLikeTheDesktopAndDecryptsBack) {
    // Small: destroying the source costs 24 synchronous overwrites.
    Bytes plain = RandomBytes(30000, 11);
    ASSERT_TRUE(WriteBytes(work_ / "report.doc", plain));
    ASSERT_TRUE(WriteBytes(work_ / "copy", plain));
    ASSERT_EQ(Cipher().EncryptFile((work_ / "copy").c_str(), (work_ / "desktop.crp").c_str()), 0);

    ProcessResult encrypted = Run("encrypt", {work_ / "report.doc"});
    EXPECT_EQ(encrypted.status, 0) << encrypted.err;
    EXPECT_EQ(encrypted.out, work_ / "report.doc" + "...OK" + kNewline);
    EXPECT_FALSE(Exists(work_ / "report.doc"));  // destroyed without -k
    EXPECT_EQ(ReadBytes(work_ / "report.doc.crp"), ReadBytes(work_ / "desktop.crp"));

    ProcessResult decrypted = Run("decrypt", {"-k", work_ / "report.doc.crp"});
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    EXPECT_EQ(ReadBytes(work_ / "report.doc"), plain);
    EXPECT_TRUE(Exists(work_ / "report.doc.crp"));  // kept with -k
    // No temporary file is left beside the outputs.
    EXPECT_EQ(work_.Names(),
              (std::vector<std::string>{"copy", "desktop.crp", "report.doc", "report.doc.crp"}));
}

TEST_F(CliProcess, BadInputLosesNothingAndSaysWhy) {
    Bytes good = ReadBytes(passwordFile_);
    ASSERT_TRUE(WriteBytes(work_ / "plain", RandomBytes(5000, 2)));
    ASSERT_EQ(Cipher().EncryptFile((work_ / "plain").c_str(), (work_ / "good.crp").c_str()), 0);
    Bytes crp = ReadBytes(work_ / "good.crp");
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
        ASSERT_TRUE(WriteBytes(work_ / c.name, c.contents));
        ProcessResult result = Run("decrypt", {work_ / c.name});
        EXPECT_EQ(result.status, 1) << c.name;
        EXPECT_EQ(result.out, FailureLines(work_ / c.name, c.message));
        EXPECT_EQ(ReadBytes(work_ / c.name), c.contents) << c.name;  // untouched
        std::string target = work_ / c.name;
        EXPECT_FALSE(Exists(target.substr(0, target.size() - 4))) << c.name;
    }
    ProcessResult missing = Run("decrypt", {work_ / "missing.crp"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, FailureLines(work_ / "missing.crp", "The file does not exist"));
    EXPECT_EQ(work_.Names().size(), 7u);  // plain, good.crp and the five cases: nothing else
}

TEST_F(CliProcess, NeverReplacesAnExistingTargetNorDestroysItsSource) {
    ASSERT_TRUE(WriteBytes(work_ / "a.txt", RandomBytes(100, 3)));
    ASSERT_TRUE(test::WriteText(work_ / "a.txt.crp", "someone else's file"));
    ProcessResult result = Run("encrypt", {work_ / "a.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, FailureLines(work_ / "a.txt.crp", "The file already exists"));
    EXPECT_EQ(ReadBytes(work_ / "a.txt"), RandomBytes(100, 3));
    EXPECT_EQ(ReadBytes(work_ / "a.txt.crp"),
              Bytes({'s', 'o', 'm', 'e', 'o', 'n', 'e', ' ', 'e', 'l', 's', 'e', '\'', 's', ' ',
                     'f', 'i', 'l', 'e'}));
    EXPECT_EQ(work_.Names(), (std::vector<std::string>{"a.txt", "a.txt.crp"}));
}

TEST_F(CliProcess, SeveralJobsReportInTheOrderOfOne) {
    std::vector<std::string> crpNames;
    for (int i = 0; i < 24; ++i) {
        std::string name = "f" + std::to_string(100 + i);
        auto size = static_cast<std::size_t>(1 + (i * 7919) % 900000);
        ASSERT_TRUE(WriteBytes(work_ / name, RandomBytes(size, static_cast<std::uint32_t>(i))));
        crpNames.push_back(work_ / name + ".crp");
    }
    ASSERT_TRUE(test::WriteText(work_ / "already.crp", "x"));
    ProcessResult one = Run("encrypt", {"-k", "-r", "-j", "1", work_.path()});
    Bytes firstFile = ReadBytes(crpNames[5]);
    for (const std::string& name : crpNames) {
        ASSERT_EQ(std::remove(name.c_str()), 0);
    }
    ProcessResult four = Run("encrypt", {"-k", "-r", "-j", "4", work_.path()});
    EXPECT_EQ(one.status, 1);  // already.crp is refused
    EXPECT_EQ(four.status, 1);
    EXPECT_EQ(four.out, one.out);
    EXPECT_NE(one.out.find("already.crp" + kNewline + "\t->Already encrypted"), std::string::npos);
    EXPECT_EQ(ReadBytes(crpNames[5]), firstFile);
    // Each job its own cipher: every file decrypts on its own.
    ProcessResult verify = Run("verify", {"-j", "3", work_.path(), "-r"});
    EXPECT_EQ(verify.out.find("Wrong password"), verify.out.rfind("Wrong password"))
        << "only already.crp fails:\n"
        << verify.out;

    // Decrypting the small files in groups, sources destroyed after their
    // group's flush: a taken name in the middle of a group fails alone.
    ASSERT_TRUE(std::remove((work_ / "already.crp").c_str()) == 0);
    for (int i = 0; i < 24; ++i) {
        ASSERT_EQ(std::remove((work_ / ("f" + std::to_string(100 + i))).c_str()), 0);
    }
    ASSERT_TRUE(test::WriteText(work_ / "f107", "taken"));
    ProcessResult decrypt = Run("decrypt", {"-r", "-j", "2", "--no-wipe", work_.path()});
    EXPECT_EQ(decrypt.status, 1);
    std::string expected;
    for (int i = 23; i >= 0; --i) {  // a folder's own files, the last found first
        std::string name = work_ / ("f" + std::to_string(100 + i));
        expected +=
            i == 7 ? FailureLines(name, "The file already exists") : name + ".crp...OK" + kNewline;
    }
    EXPECT_EQ(decrypt.out, expected);
    for (int i = 0; i < 24; ++i) {
        std::string name = work_ / ("f" + std::to_string(100 + i));
        if (i != 7) {
            EXPECT_EQ(ReadBytes(name),
                      RandomBytes(static_cast<std::size_t>(1 + (i * 7919) % 900000),
                                  static_cast<std::uint32_t>(i)));
        }
        EXPECT_EQ(Exists(name + ".crp"), i == 7) << name;
    }
    EXPECT_EQ(work_.Names().size(), 25u);  // nothing temporary left
}

TEST_F(CliProcess, RefusesPasswordsTheDesktopCouldNotType) {
    ASSERT_TRUE(WriteBytes(work_ / "a", RandomBytes(10, 1)));
    const std::string refused[] = {
        "\n",                         // empty
        "\xF0\x9F\x98\x80\n",         // not in code page 932
        std::string(57, 'a') + "\n",  // 57 bytes
        std::string("ab\0cd\n", 6),   // a NUL
        "a\tb\n",                     // a tab
        "\x1b[31m\n",                 // an escape sequence
    };
    for (const std::string& password : refused) {
        ASSERT_TRUE(test::WriteText(passwordFile_, password));
        ProcessResult result = Run("encrypt", {work_ / "a"});
        EXPECT_EQ(result.status, 2) << password;
        EXPECT_NE(result.err.find("password"), std::string::npos) << result.err;
    }
    EXPECT_EQ(work_.Names(), (std::vector<std::string>{"a"}));
}

TEST_F(CliProcess, AJapanesePasswordKeysItsCodePage932Bytes) {
    // パスワード in UTF-8 in the file; the desktop program keys the same text
    // typed on Windows with its code page 932 bytes.
    ASSERT_TRUE(test::WriteText(passwordFile_,
                                "\xE3\x83\x91\xE3\x82\xB9\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\x89\n"));
    ASSERT_TRUE(WriteBytes(work_ / "memo.txt", RandomBytes(777, 4)));
    ProcessResult result = Run("encrypt", {"-k", work_ / "memo.txt"});
    ASSERT_EQ(result.status, 0) << result.err;
    const char cp932[] = "\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68";
    FileCipher desktop(cp932, sizeof cp932 - 1);
    EXPECT_EQ(desktop.DecryptFile((work_ / "memo.txt.crp").c_str(), (work_ / "check").c_str()), 0);
    EXPECT_EQ(ReadBytes(work_ / "check"), RandomBytes(777, 4));
}

TEST_F(CliProcess, VerifyAndCatWriteNoPlainTextToAnyFile) {
    Bytes plain = RandomBytes(70000, 9);
    ASSERT_TRUE(WriteBytes(work_ / "plain", plain));
    ASSERT_EQ(Cipher().EncryptFile((work_ / "plain").c_str(), (work_ / "p.crp").c_str()), 0);
    ProcessResult verify = Run("verify", {work_ / "p.crp"});
    EXPECT_EQ(verify.status, 0);
    EXPECT_EQ(verify.out, work_ / "p.crp" + "...OK" + kNewline);
    ProcessResult cat = Run("cat", {work_ / "p.crp"});
    EXPECT_EQ(cat.status, 0);
    EXPECT_EQ(Bytes(cat.out.begin(), cat.out.end()), plain);
    EXPECT_EQ(work_.Names(), (std::vector<std::string>{"p.crp", "plain"}));

    ASSERT_TRUE(test::WriteText(passwordFile_, "wrong\n"));
    ProcessResult wrong = Run("cat", {work_ / "p.crp"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_GT(wrong.out.size(), plain.size() - 10);  // the data comes first ...
    EXPECT_EQ(wrong.err,
              FailureLines(work_ / "p.crp", "Wrong password"));  // ... the message after it
}

// Through pipes, the program never knows the size: every .crp it writes is
// the desktop's, and it reads them back, around the pieces it holds back.
TEST_F(CliProcess, PipesGiveTheDesktopBytesAtTheBoundaries) {
    const std::string password = "--password-file";
    for (std::size_t size : {1, 7, 8, 4095, 4096, 4104, 262144, 262145, 266232, 266240}) {
        Bytes plain = RandomBytes(size, static_cast<std::uint32_t>(size));
        ASSERT_TRUE(WriteBytes(work_ / "plain", plain));
        ASSERT_EQ(Cipher().EncryptFile((work_ / "plain").c_str(), (work_ / "desktop.crp").c_str()),
                  0);
        Bytes desktop = ReadBytes(work_ / "desktop.crp");
        ProcessResult encrypted =
            test::RunCliPiped({"encrypt", "--lang", "en", password, passwordFile_, "-"}, plain);
        EXPECT_EQ(encrypted.status, 0) << size << encrypted.err;
        EXPECT_EQ(encrypted.err, "");
        EXPECT_EQ(Bytes(encrypted.out.begin(), encrypted.out.end()), desktop) << size;
        ProcessResult decrypted =
            test::RunCliPiped({"decrypt", "--lang", "en", password, passwordFile_, "-"}, desktop);
        EXPECT_EQ(decrypted.status, 0) << size << decrypted.err;
        EXPECT_EQ(Bytes(decrypted.out.begin(), decrypted.out.end()), plain) << size;
    }
    EXPECT_EQ(work_.Names(), (std::vector<std::string>{"desktop.crp", "plain"}));
}

// One row per way of running from a script: the exit status, the exact
// lines, and what is left in the folder. Each row starts from "a" (plain)
// and "s.crp" (its desktop encryption), "s.crp" read-only for ro rows.
TEST_F(CliProcess, ScriptConventionsTable) {
    const Bytes plain = RandomBytes(5000, 21);
    struct Row {
        const char* name;
        std::vector<std::string> args;  // "@" is replaced by the work folder
        bool readOnlyCrp;
        bool pipedIn;  // standard input is s.crp's bytes
        int status;
        std::string out;  // "@" as in args; "<plain>" and "<crp>" for the data
        std::string err;
        std::vector<std::string> names;
    };
    const std::string lf = kNewline;
    const Row rows[] = {
        {"-o names the output",
         {"encrypt", "-k", "@a", "-o", "@b.crp"},
         false,
         false,
         0,
         "@a...OK" + lf,
         "",
         {"a", "b.crp", "s.crp"}},
        {"-o names an output outside code page 932",
         {"encrypt", "-k", "@a", "-o", "@α😀.crp"},
         false,
         false,
         0,
         "@a...OK" + lf,
         "",
         {"a", "s.crp", "α😀.crp"}},
        // Another file under the name is kept: plan_test.cpp.
        {"an existing output with the very bytes counts as placed",
         {"encrypt", "@a", "-o", "@s.crp"},
         false,
         false,
         0,
         "@a...OK" + lf,
         "",
         {"s.crp"}},
        {"-f replaces it",
         {"decrypt", "-k", "-f", "@s.crp", "-o", "@a"},
         false,
         false,
         0,
         "@s.crp...OK" + lf,
         "",
         {"a", "s.crp"}},
        {"read-only is refused",
         {"decrypt", "-k", "@s.crp", "-o", "@p"},
         true,
         false,
         1,
         "@s.crp" + lf + "\t->The file is read-only or a system file" + lf,
         "",
         {"a", "s.crp"}},
        {"-f -k takes it",
         {"decrypt", "-k", "-f", "@s.crp", "-o", "@p"},
         true,
         false,
         0,
         "@s.crp...OK" + lf,
         "",
         {"a", "p", "s.crp"}},
        {"-c keeps the source",
         {"encrypt", "-c", "@a"},
         false,
         false,
         0,
         "<crp>",
         "",
         {"a", "s.crp"}},
        {"decrypt -c", {"decrypt", "-c", "@s.crp"}, true, false, 0, "<plain>", "", {"a", "s.crp"}},
        {"-v counts",
         {"decrypt", "-c", "-v", "@s.crp"},
         false,
         false,
         0,
         "<plain>",
         "@s.crp...OK" + lf + "zorv-cli: 1 done, 0 failed" + lf,
         {"a", "s.crp"}},
        {"--no-wipe deletes",
         {"encrypt", "--no-wipe", "@a", "-o", "@b.crp"},
         false,
         false,
         0,
         "@a...OK" + lf,
         "",
         {"b.crp", "s.crp"}},
        {"- into -o",
         {"decrypt", "-", "-o", "@p"},
         false,
         true,
         0,
         "-...OK" + lf,
         "",
         {"a", "p", "s.crp"}},
        {"verify -", {"verify", "-"}, false, true, 0, "-...OK" + lf, "", {"a", "s.crp"}},
        {"- among others",
         {"encrypt", "-", "@a"},
         false,
         false,
         2,
         "",
         "zorv-cli: - (standard input) must be the only input" + lf,
         {"a", "s.crp"}},
        {"-o for two",
         {"encrypt", "@a", "@s.crp", "-o", "@x"},
         false,
         false,
         2,
         "",
         "zorv-cli: -o names the output of a single input" + lf,
         {"a", "s.crp"}},
        {"-o naming the input",
         {"encrypt", "-f", "@a", "-o", "@a"},
         false,
         false,
         1,
         "@a" + lf + "\t->The output would replace an input of this run: nothing done" + lf,
         "",
         {"a", "s.crp"}},
        {"-o naming the input by another name, -k",
         {"decrypt", "-k", "-f", "@s.crp", "-o", "@./s.crp"},
         false,
         false,
         1,
         "@s.crp" + lf + "\t->The output would replace an input of this run: nothing done" + lf,
         "",
         {"a", "s.crp"}},
        {"one file given twice",
         {"encrypt", "-f", "@a", "@./a"},
         false,
         false,
         0,
         "@a...OK" + lf + "@./a" + lf + "\t->The same file as an earlier input: passed over" + lf,
         "",
         {"a.crp", "s.crp"}},
        {"-o empty",
         {"encrypt", "@a", "-o", ""},
         false,
         false,
         2,
         "",
         "zorv-cli: -o needs a file name" + lf,
         {"a", "s.crp"}},
        {"cat -o",
         {"cat", "@s.crp", "-o", "@p"},
         false,
         false,
         2,
         "",
         "zorv-cli: cat writes to standard output: -o does not apply" + lf,
         {"a", "s.crp"}},
        {"verify -o",
         {"verify", "@s.crp", "-o", "@p"},
         false,
         false,
         2,
         "",
         "zorv-cli: verify writes nothing: -o does not apply" + lf,
         {"a", "s.crp"}},
        {"verify -c",
         {"verify", "-c", "@s.crp"},
         false,
         false,
         2,
         "",
         "zorv-cli: verify writes nothing: -c does not apply" + lf,
         {"a", "s.crp"}},
        {"unknown command",
         {"frob", "@a"},
         false,
         false,
         2,
         "",
         "zorv-cli: unknown command 'frob' (encrypt, decrypt, verify or cat)" + lf,
         {"a", "s.crp"}},
    };
    auto expand = [&](std::string text) {
        for (std::size_t at; (at = text.find('@')) != std::string::npos;) {
            text.replace(at, 1, work_.path() + (kNewline == "\n" ? "/" : "\\"));
        }
        return text;
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(WriteBytes(work_ / "a", plain));
        ASSERT_EQ(Cipher().EncryptFile((work_ / "a").c_str(), (work_ / "s.crp").c_str()), 0);
        Bytes crp = ReadBytes(work_ / "s.crp");
        if (row.readOnlyCrp) {
            std::filesystem::permissions(work_ / "s.crp", std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::group_read);
        }
        std::vector<std::string> args = {"--lang", "en", "--password-file", passwordFile_};
        for (const std::string& arg : row.args) {
            args.push_back(expand(arg));
        }
        ProcessResult result = row.pipedIn ? test::RunCliPiped(args, crp) : RunCli(args);
        std::string out = row.out == "<crp>"     ? std::string(crp.begin(), crp.end())
                          : row.out == "<plain>" ? std::string(plain.begin(), plain.end())
                                                 : expand(row.out);
        EXPECT_EQ(result.status, row.status) << row.name << result.err;
        EXPECT_EQ(result.out, out) << row.name;
        EXPECT_EQ(result.err, expand(row.err)) << row.name;
        EXPECT_EQ(work_.Names(), row.names) << row.name;
        for (const std::string& name : work_.Names()) {
            Bytes bytes = ReadBytes(work_ / name);
            EXPECT_TRUE(bytes == plain || bytes == crp) << row.name << ": " << name;
            std::filesystem::permissions(test::PathOf(work_ / name),
                                         std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add);
            std::filesystem::remove(test::PathOf(work_ / name));
        }
    }
}

TEST_F(CliProcess, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunCli({}).status, 2);
    EXPECT_EQ(RunCli({"encrypt"}).status, 2);
    EXPECT_EQ(RunCli({"shred", "x"}).status, 2);
    EXPECT_EQ(RunCli({"encrypt", "--lang", "fr", "x"}).status, 2);
    EXPECT_EQ(RunCli({"encrypt", "-j", "0", "x"}).status, 2);
    ProcessResult missing = RunCli({"encrypt"});
    EXPECT_EQ(missing.err.rfind("zorv-cli: ", 0), 0u) << missing.err;
    ASSERT_TRUE(WriteBytes(work_ / "x.crp", RandomBytes(16, 1)));
    ProcessResult unreadable =
        RunCli({"verify", "--password-file", work_ / "no-such-file", work_ / "x.crp"});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_EQ(unreadable.err, "zorv-cli: the password could not be read: " +
                                  std::string(std::strerror(ENOENT)) + kNewline);
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
         "destroy. The new file is in place; the source is kept."},
#ifdef _WIN32
        // Held open without write sharing, as another program might: the
        // wipe cannot open it.
        {"held.txt", "The file could not be deleted."},
#endif
    };
    const Bytes plain = RandomBytes(3000, 12);
    for (const Case& c : kCases) {
        const std::string path = work_ / c.name;
        ASSERT_TRUE(WriteBytes(path, plain));
        const bool linked = std::string(c.name) == "linked.txt";
        if (linked) {
            std::filesystem::create_hard_link(path, work_ / "other-name");
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
            EXPECT_EQ(ReadBytes(work_ / "other-name"), plain);
        }
        ASSERT_EQ(Cipher().DecryptFile((path + ".crp").c_str(), (work_ / "check").c_str()), 0);
        EXPECT_EQ(ReadBytes(work_ / "check"), plain) << c.name;
    }
}

#ifndef _WIN32
TEST_F(CliProcess, ATargetPathPastTheLimitIsRefusedAsTooLong) {
    // Folders of 200 bytes until the file's path is 4093 bytes: the path
    // fits, its ".crp" name does not. (The desktop program says "already
    // exists" here, which would be wrong.)
    std::string path = work_.path();
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

#endif

// Entries a script meets in the wild, one row each: the exit status, the
// exact lines and what is left in the folder d. Names no one code page
// holds (¥, é, Hangul, Greek, emoji) are acted on as themselves, given by
// name and met in a walk; the look-alike beside each keeps its bytes, as
// every plain file does.
TEST_F(CliProcess, TroublesomeEntriesTable) {
    const std::string d = work_ / "d";
    const std::string lf = kNewline;
    [[maybe_unused]] const std::string longName(252, 'n');  // POSIX rows
    // 240 bytes of UTF-8, 80 UTF-16 units: Windows counts the units.
    std::string hangul;
    for (int i = 0; i < 80; ++i) {
        hangul += "한";
    }
    const char separator = kNewline == "\n" ? '/' : '\\';
    // An entry of d, its '/' the platform's separator.
    auto at = [&](std::string relative) {
        std::replace(relative.begin(), relative.end(), '/', separator);
        return d + separator + relative;
    };
    struct Row {
        const char* name;
        std::function<void()> setup;
        std::vector<std::string> args;
        int status;
        std::string out;
        std::vector<std::string> names;  // in d afterwards, sub-folders' too
    };
    auto file = [&](const std::string& name) { ASSERT_TRUE(WriteBytes(at(name), {1, 2})); };
    auto folder = [&](const std::string& name) {
        ASSERT_TRUE(std::filesystem::create_directory(test::PathOf(at(name))));
    };
    bool outputClosed = false;  // set by a row's setup
    std::vector<Row> rows = {
        {"é by name, not its look-alike",
         [&] {
             file("café.txt");
             file("cafe.txt");
         },
         {"encrypt", at("café.txt")},
         0,
         at("café.txt") + "...OK" + lf,
         {"cafe.txt", "café.txt.crp"}},
        {"¥ in a walk, nothing outside it",
         [&] {
             file("victim.txt");
             folder("t");
             file("t/..¥victim.txt");
         },
         {"encrypt", "-r", at("t")},
         0,
         at("t/..¥victim.txt") + "...OK" + lf,
         {"t", "t/..¥victim.txt.crp", "victim.txt"}},
        {"a Hangul sub-folder is walked",
         [&] {
             folder("w");
             folder("w/dir_한국");
             file("w/dir_한국/a.txt");
             file("w/b.txt");
         },
         {"encrypt", "-k", "-r", at("w")},
         0,
         at("w/dir_한국/a.txt") + "...OK" + lf + at("w/b.txt") + "...OK" + lf,
         {"w", "w/b.txt", "w/b.txt.crp", "w/dir_한국", "w/dir_한국/a.txt", "w/dir_한국/a.txt.crp"}},
        {"Greek and emoji by name",
         [&] {
             file("αβγ.txt");
             file("abg.txt");
             file("😀.txt");
         },
         {"encrypt", at("αβγ.txt"), at("😀.txt")},
         0,
         at("αβγ.txt") + "...OK" + lf + at("😀.txt") + "...OK" + lf,
         {"abg.txt", "αβγ.txt.crp", "😀.txt.crp"}},
        {"a long Hangul name counts in characters",
         [&] {
             folder(hangul);
             file(hangul + "/a");
         },
         {"encrypt", "-k", "-r", at(hangul)},
         0,
         at(hangul + "/a") + "...OK" + lf,
         {hangul, hangul + "/a", hangul + "/a.crp"}},
        {"a received résumé.txt.crp in a walk",
         [&] {
             folder("r");
             file("r/resume.txt");
             const std::string crp = work_ / "x.crp";
             ASSERT_EQ(Cipher().EncryptFile(at("r/resume.txt").c_str(), crp.c_str()), 0);
             std::filesystem::rename(test::PathOf(crp), test::PathOf(at("r/résumé.txt.crp")));
         },
         {"decrypt", "-r", at("r")},
         0,
         at("r/résumé.txt.crp") + "...OK" + lf,
         {"r", "r/resume.txt", "r/résumé.txt"}},
#ifdef _WIN32
        // What a lossy conversion would give instead: U+FFFD.
        {"an unpaired surrogate by name",
         [&] { file("a\xEF\xBF\xBD.txt"); },
         {"encrypt", at("a\xED\xA0\x80.txt")},
         1,
         at("a\xED\xA0\x80.txt") + lf + "\t->The name cannot be handled on this system" + lf,
         {"a\xEF\xBF\xBD.txt"}},
#else
        {"a link under -r is passed over",
         [&] {
             file("a");
             ASSERT_EQ(symlink("a", (d + "/link").c_str()), 0);
         },
         {"encrypt", "-k", "-r", d},
         0,
         d + "/link\n\t->A symbolic link: passed over\n" + d + "/a...OK\n",
         {"a", "a.crp", "link"}},
        {"a link by name",
         [&] {
             file("a");
             ASSERT_EQ(symlink("a", (d + "/link").c_str()), 0);
         },
         {"encrypt", d + "/link"},
         1,
         d + "/link\n\t->Is a symbolic link (not followed)\n",
         {"a", "link"}},
        {"a FIFO",
         [&] { ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0600), 0); },
         {"encrypt", d + "/fifo"},
         1,
         d + "/fifo\n\t->Not a regular file (a device, a pipe or a socket)\n",
         {"fifo"}},
        {"just .crp",
         [&] { file(".crp"); },
         {"decrypt", d + "/.crp"},
         1,
         d + "/.crp\n\t->Nothing before .crp to name the output\n",
         {".crp"}},
        {"a newline in a name",
         [&] { file("new\nline"); },
         {"encrypt", "-k", d + "/new\nline"},
         0,
         d + "/new\\x0aline...OK\n",
         {"new\nline", "new\nline.crp"}},
        {"a name too long for .crp",
         [&] { file(longName); },
         {"encrypt", d + "/" + longName},
         1,
         d + "/" + longName + "\n\t->The path is too long\n",
         {longName}},
        {"no folder for the temporary file",
         [&] { file("a"); },
         {"encrypt", "-k", d + "/a", "-o", d + "/none/a.crp"},
         1,
         d + "/a\n\t->No temporary file can be made in the output's folder\n",
         {"a"}},
        {"a folder with mode 000",
         [&] {
             file("a");
             ASSERT_EQ(mkdir((d + "/sub").c_str(), 0), 0);
         },
         {"encrypt", "-k", "-r", d},
         1,
         d + "/sub\n\t->The folder could not be read\n" + d + "/a...OK\n",
         {"a", "a.crp", "sub"}},
        {"-f replaces no FIFO",
         [&] {
             file("a");
             ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0600), 0);
         },
         {"encrypt", "-k", "-f", d + "/a", "-o", d + "/fifo"},
         1,
         d + "/fifo\n\t->Not a regular file (a device, a pipe or a socket)\n",
         {"a", "fifo"}},
        {"two .crp files with one output",
         [&] {
             ASSERT_TRUE(WriteBytes(d + "/p", RandomBytes(100, 7)));
             ASSERT_EQ(Cipher().EncryptFile((d + "/p").c_str(), (d + "/X.crp").c_str()), 0);
             ASSERT_EQ(Cipher().EncryptFile((d + "/p").c_str(), (d + "/X.CRP").c_str()), 0);
             ASSERT_EQ(unlink((d + "/p").c_str()), 0);
         },
         {"decrypt", "-f", "-r", d},
         1,
         d + "/X.crp\n\t->Another input of this run has the same output: nothing done\n" + d +
             "/X.CRP\n\t->Another input of this run has the same output: nothing done\n",
         {"X.CRP", "X.crp"}},
        {"a folder given twice",
         [&] { file("a"); },
         {"encrypt", "-f", "-r", d, d + "/"},
         0,
         d + "/a...OK\n" + d + "/a\n\t->The same file as an earlier input: passed over\n",
         {"a.crp"}},
        {"encrypt -c over a folder of several",
         [&] {
             file("a");
             file("b");
         },
         {"encrypt", "-c", "-r", d},
         2,
         "",
         {"a", "b"}},
        {"standard output closed",
         [&] {
             file("a");
             outputClosed = true;
         },
         {"encrypt", "-c", d + "/a"},
         0,
         "",
         {"a"}},
#endif
    };
#ifndef _WIN32
    if (geteuid() != 0) {  // root reads any folder
        rows.push_back({"an unreadable sub-folder",
                        [&] {
                            file("a");
                            ASSERT_EQ(mkdir((d + "/sub").c_str(), 0300),
                                      0);  // writable, not readable
                        },
                        {"encrypt", "-k", "-r", d},
                        1,
                        d + "/sub\n\t->The folder could not be read\n" + d + "/a...OK\n",
                        {"a", "a.crp", "sub"}});
    }
#endif
    for (Row& row : rows) {
        std::filesystem::create_directory(test::PathOf(d));
        row.setup();
        std::vector<std::string> args = {"--lang", "en", "--password-file", passwordFile_};
        args.insert(args.end(), row.args.begin(), row.args.end());
        ProcessResult result = outputClosed ? test::RunCliOutputClosed(args) : RunCli(args);
        outputClosed = false;
        EXPECT_EQ(result.status, row.status) << row.name << result.err;
        EXPECT_EQ(result.out, row.out) << row.name;
        std::vector<std::string> names;
        const auto options = std::filesystem::directory_options::skip_permission_denied;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(test::PathOf(d), options)) {
            std::string name = entry.path().lexically_relative(test::PathOf(d)).generic_u8string();
            names.push_back(name);
            std::string suffix = name.size() >= 4 ? name.substr(name.size() - 4) : "";
            std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            bool crp = suffix == ".crp";
            bool plain = entry.is_regular_file() && !entry.is_symlink() && !crp;
            EXPECT_TRUE(!plain || ReadBytes(at(name)) == Bytes({1, 2})) << row.name << ": " << name;
        }
        std::sort(names.begin(), names.end());
        std::sort(row.names.begin(), row.names.end());
        EXPECT_EQ(names, row.names) << row.name;
#ifndef _WIN32
        chmod((d + "/sub").c_str(), 0700);
#endif
        std::filesystem::remove_all(test::PathOf(d));
    }
}

#ifndef _WIN32
TEST_F(CliProcess, OutputsTakeTheSourceModeLessTheUmask) {
    ASSERT_TRUE(WriteBytes(work_ / "plain", RandomBytes(100, 1)));
    ASSERT_EQ(Cipher().EncryptFile((work_ / "plain").c_str(), (work_ / "p.crp").c_str()), 0);
    ASSERT_EQ(chmod((work_ / "p.crp").c_str(), 0666), 0);
    mode_t saved = umask(077);
    ProcessResult decrypted = Run("decrypt", {"-k", work_ / "p.crp", "-o", work_ / "out"});
    ProcessResult piped =
        test::RunCliPiped({"decrypt", "--password-file", passwordFile_, "-", "-o", work_ / "piped"},
                          ReadBytes(work_ / "p.crp"));
    umask(022);
    ProcessResult wider = Run("decrypt", {"-k", work_ / "p.crp", "-o", work_ / "wider"});
    umask(saved);
    EXPECT_EQ(decrypted.status + piped.status + wider.status, 0) << decrypted.err << piped.err;
    struct Case {
        const char* name;
        mode_t mode;
    };
    for (Case c : {Case{"out", 0600}, Case{"piped", 0600}, Case{"wider", 0644}}) {
        struct stat st = {};
        ASSERT_EQ(stat((work_ / c.name).c_str(), &st), 0) << c.name;
        EXPECT_EQ(st.st_mode & 0777, c.mode) << c.name;
    }
}

TEST_F(CliProcess, NoBinaryDataReachesATerminalWithoutForce) {
    const Bytes plain = {'h', 'i', '\n'};
    ASSERT_TRUE(WriteBytes(work_ / "plain", plain));
    ASSERT_EQ(Cipher().EncryptFile((work_ / "plain").c_str(), (work_ / "p.crp").c_str()), 0);
    const std::string refusal =
        "zorv-cli: not writing binary data to a terminal (give -f to do it anyway)\n";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Row rows[] = {
        {{"cat", work_ / "p.crp"}, 2, refusal},
        {{"decrypt", "-c", work_ / "p.crp"}, 2, refusal},
        {{"encrypt", "-c", work_ / "plain"}, 2, refusal},
        {{"decrypt", "-c", "-f", work_ / "p.crp"}, 0, ""},
        {{"verify", work_ / "p.crp"}, 0, ""},  // writes lines only
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--lang", "en", "--password-file", passwordFile_};
        args.insert(args.end(), row.args.begin(), row.args.end());
        ProcessResult result = test::RunCliOnTerminal(args);
        EXPECT_EQ(result.status, row.status) << row.args[0] << " " << row.args[1];
        EXPECT_EQ(result.err, row.err) << row.args[0] << " " << row.args[1];
    }
    EXPECT_EQ(work_.Names(), (std::vector<std::string>{"p.crp", "plain"}));
}

TEST_F(CliProcess, AReaderThatGoesAwayEndsTheRunQuietly) {
    ASSERT_TRUE(WriteBytes(work_ / "plain", RandomBytes(3 << 20, 13)));
    ASSERT_EQ(Cipher().EncryptFile((work_ / "plain").c_str(), (work_ / "p.crp").c_str()), 0);
    ProcessResult cat = test::RunCliPiped(
        {"cat", "--lang", "en", "--password-file", passwordFile_, work_ / "p.crp"}, {}, true);
    EXPECT_EQ(cat.status, 141);
    EXPECT_EQ(cat.err, "");
    ProcessResult piped =
        test::RunCliPiped({"decrypt", "--lang", "en", "--password-file", passwordFile_, "-"},
                          ReadBytes(work_ / "p.crp"), true);
    EXPECT_EQ(piped.status, 141);
    EXPECT_EQ(piped.err, "");
}

TEST_F(CliProcess, JapaneseMessagesComeFromTheSharedTable) {
    ASSERT_TRUE(WriteBytes(work_ / "x.crp", RandomBytes(16, 1)));
    ProcessResult result =
        RunCli({"verify", "--lang", "ja", "--password-file", passwordFile_, work_ / "x.crp"});
    EXPECT_EQ(result.out, FailureLines(work_ / "x.crp", MessageTextUtf8(75)));
}

TEST_F(CliProcess, AFullDiskLeavesTheSourceAndNoPartialFile) {
    Bytes plain = RandomBytes(1 << 20, 6);
    ASSERT_TRUE(WriteBytes(work_ / "big", plain));
    std::vector<std::string> args = {"encrypt",         "--lang",      "en",
                                     "--password-file", passwordFile_, work_ / "big"};
    ProcessResult result = RunCli(args, 64 * 1024);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, FailureLines(work_ / "big", "Writing the file failed"));
    EXPECT_EQ(ReadBytes(work_ / "big"), plain);
    EXPECT_EQ(work_.Names(), (std::vector<std::string>{"big"}));
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
        {"decrypt", "large.crp", SIGINT, 2}, {"decrypt", "large.crp", SIGUSR1, 1},
        {"encrypt", "large", SIGALRM, 1},
    };
    // Large enough that the work takes a good while even without sanitizers.
    const std::uint64_t size = 1ull << 30;
    const Bytes head = RandomBytes(1 << 16, 8);
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.command) + " signal " + std::to_string(c.signal) + " x" +
                     std::to_string(c.times));
        const std::string input = work_ / c.name;
        ASSERT_TRUE(WriteBytes(input, head));
        ASSERT_EQ(truncate(input.c_str(), static_cast<off_t>(size)), 0);
        int pid = test::StartCli(
            {c.command, "--lang", "en", "--password-file", passwordFile_, input}, secrets_ / "out");
        // Wait until the temporary file shows the work has begun.
        for (int i = 0; i < 500 && work_.Names().size() < 2; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < c.times; ++i) {
            // The second once the first is handled: two sent at once may
            // arrive as one.
            std::this_thread::sleep_for(std::chrono::milliseconds(i * 20));
            ASSERT_EQ(kill(pid, c.signal), 0);
        }
        EXPECT_EQ(test::WaitCli(pid), 128 + c.signal);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(work_.Names(), (std::vector<std::string>{c.name}));
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

// With -f, a temporary file without a name takes a temporary name before it
// replaces the target (a link cannot replace). The file seam gives that name
// out of the jobs' sight; a second signal arriving while it stands removes it
// all the same. The process here is one of the program's own making: the
// handlers installed, the rename to the target failed, then two signals.
TEST_F(CliProcess, ASecondSignalRemovesTheTemporaryNameOfAReplacingOutput) {
    const std::string target = work_ / "out.crp";
    ASSERT_TRUE(WriteBytes(target, RandomBytes(10, 1)));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallInterruptHandler();
        VanishingFile output;
        if (output.Create(target.c_str()) != kResultOk || !output.TemporaryPath().empty()) {
            _exit(1);  // no file without a name here
        }
        (void)output.File().Write("plain", 5);
        FileFaultPlan plan;
        plan.failRenameAt = 2;  // the link to a temporary name, then the rename
        SetFileFaults(plan);
        VanishingFile::Placing placing;
        placing.replace = true;
        if (output.Place(placing) != kResultWriteFailed || output.TemporaryPath().empty()) {
            _exit(2);
        }
        raise(SIGTERM);
        raise(SIGTERM);
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 1) {
        GTEST_SKIP() << "the file system has no files without a name";
    }
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_EQ(work_.Names(), (std::vector<std::string>{"out.crp"}));
}
#endif

}  // namespace
}  // namespace zorv
