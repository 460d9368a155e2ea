// The portable table generated from res/messages.ja.txt.
#include "app/message_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "crypto/result_code.h"

namespace zorv {
namespace {

TEST(MessageTextsTest, EveryResultCodeHasItsText) {
    for (int id : {kResultOpenFailed, kResultFileExists, kResultOutOfMemory,
                   kResultAlreadyEncrypted, kResultReadOnlyOrSystem, kResultWrongPassword,
                   kResultNotEncrypted, kResultFileMissing, kResultEmptyFile, kResultDeleteFailed,
                   kResultReadFailed, kResultWriteFailed, kResultPathTooLong}) {
        EXPECT_STRNE("", MessageTextUtf8(id)) << id;
    }
    EXPECT_STREQ("パスワードが違います", MessageTextUtf8(kResultWrongPassword));
    EXPECT_STREQ("ファイルの読み込みに失敗しました", MessageTextUtf8(kResultReadFailed));
    EXPECT_STREQ("ファイルの書き込みに失敗しました", MessageTextUtf8(kResultWriteFailed));
    EXPECT_STREQ("パスが長すぎます", MessageTextUtf8(kResultPathTooLong));
}

TEST(MessageTextsTest, LineFeedsAndPlaceholdersSurvive) {
    const struct {
        int id;
        long lineFeeds;
        bool placeholder;
    } cases[] = {{51, 0, false}, {52, 1, false}, {53, 1, false}, {54, 1, true}, {55, 1, false},
                 {56, 2, true},  {63, 4, true},  {64, 1, true},  {65, 1, true}};
    for (const auto& c : cases) {
        const std::string text = MessageTextUtf8(c.id);
        EXPECT_EQ(c.lineFeeds, std::count(text.begin(), text.end(), '\n')) << c.id;
        EXPECT_EQ(c.placeholder, text.find("%s") != std::string::npos) << c.id;
        EXPECT_EQ(std::string::npos, text.find('\\')) << c.id;  // no escape left undone
    }
    EXPECT_STREQ(
        "ファイルの再暗号化は無事完了しましたが、\n一時的に作成したファイル %s "
        "の削除に失敗しました。\nお手数ですが手動でこのファイルの削除を行ってください。",
        MessageTextUtf8(56));
}

TEST(MessageTextsTest, UnknownIdsGiveEmptyText) {
    for (int id : {0, 2, 66, 69, 86, 40001, -1}) {
        EXPECT_STREQ("", MessageTextUtf8(id)) << id;
    }
}

}  // namespace
}  // namespace zorv
