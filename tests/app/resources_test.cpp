// The program's resources: every dialog template with its controls, texts,
// kinds and initial states, the tray menu, the icons, manifest and version.
// Each template is also shown and photographed into <build>/screenshots.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/module_instance.h"
#include "app/resource_ids.h"
#include "app/settings.h"
#include "support/png_writer.h"
#include "support/cp932.h"
#include "support/win32_test_support.h"

namespace zorv {
namespace {

enum class Kind { Label, Icon, PasswordEdit, LogEdit, CheckBox, Radio, Group, Button, Default };

struct Control {
    int id;  // -1 for the unnamed static controls
    Kind kind;
    const char* text;  // UTF-8
    bool visible;
    bool enabled;
};

struct Template {
    int id;
    const char* caption;  // UTF-8
    int width;            // dialog units
    int height;
    bool systemMenu;
    std::vector<Control> controls;  // in template order
};

const std::vector<Template>& Templates() {
    static const std::vector<Template> templates = {
        {IDD_SETTINGS,
         "Zorv - 設定",
         226,
         95,
         true,
         {{IDC_ASSOCIATION, Kind::CheckBox, "拡張子 \".crp\" を Zorv と関連付ける(&A)", true, true},
          {IDC_SEND_TO, Kind::CheckBox, "Zorv を「送る」メニューに登録する(&S)", true, true},
          {IDC_MINIMUM_CHARS, Kind::CheckBox, "８文字未満のパスワードは受け付けない(&L)", true,
           true},
          {IDC_USE_TEMP_DIR, Kind::CheckBox, "復号時にテンポラリディレクトリを使う(&T)", true,
           true},
          {IDC_REMEMBER_LAST, Kind::CheckBox, "復号時の再暗号化オプションを記憶する(&R)", true,
           true},
          {IDOK, Kind::Default, "OK", true, true},
          {IDCANCEL, Kind::Button, "キャンセル", true, true},
          {IDC_VERSION, Kind::Button, "バージョン情報(&V)", true, true}}},
        {IDD_ENCRYPT,
         "Zorv - 暗号化",
         166,
         107,
         false,
         {{IDC_ENCRYPT_PASSWORD_LABEL, Kind::Label, "パスワード(&P):", true, true},
          {IDC_ENCRYPT_PASSWORD, Kind::PasswordEdit, "", true, true},
          {IDC_ENCRYPT_CONFIRM_LABEL, Kind::Label, "再入力(&R):", true, true},
          {IDC_ENCRYPT_CONFIRM, Kind::PasswordEdit, "", true, true},
          {IDC_DELETE_SOURCE, Kind::CheckBox, "元のファイルを削除(&D)", true, true},
          {IDOK, Kind::Default, "OK", true, true},
          {IDCANCEL, Kind::Button, "キャンセル", true, true},
          {IDC_PROCESSING, Kind::Label, "処理中です", false, true},
          {IDC_LOG, Kind::LogEdit, "", false, false}}},
        {IDD_DECRYPT_SINGLE,
         "Zorv - 復号",
         203,
         133,
         false,
         {{IDC_DECRYPT_PASSWORD_LABEL, Kind::Label, "パスワード(&P):", true, true},
          {IDC_DECRYPT_PASSWORD, Kind::PasswordEdit, "", true, true},
          {IDC_REENCRYPT_GROUP, Kind::Group, "再暗号化(&M):", true, true},
          {IDC_REENCRYPT_AUTO, Kind::Radio, "プログラム終了時(&A)", true, true},
          {IDC_REENCRYPT_TRAY, Kind::Radio, "タスクトレイから(&T)", true, true},
          {IDC_REENCRYPT_NONE, Kind::Radio, "なし(&N)", true, true},
          {IDC_PROCESSING, Kind::Label, "処理中です", false, true},
          {IDC_READ_ONLY, Kind::CheckBox, "読み取り専用として開く(&R)", true, true},
          {IDC_LOG, Kind::LogEdit, "", false, false},
          {IDOK, Kind::Default, "OK", true, true},
          {IDCANCEL, Kind::Button, "キャンセル", true, true}}},
        {IDD_MODE_SELECT,
         "Zorv",
         171,
         61,
         true,
         {{-1, Kind::Icon, nullptr, true, true},
          {-1, Kind::Label, "実行する処理を選択してください。", true, true},
          {IDC_MODE_ENCRYPT, Kind::Button, "暗号化", true, true},
          {IDC_MODE_DECRYPT, Kind::Button, "復号化", true, true},
          {IDCANCEL, Kind::Button, "キャンセル", true, true}}},
        {IDD_DECRYPT_MULTI,
         "Zorv - 復号",
         167,
         67,
         false,
         {{IDC_DECRYPT_PASSWORD_LABEL, Kind::Label, "パスワード(&P):", true, true},
          {IDC_DECRYPT_PASSWORD, Kind::PasswordEdit, "", true, true},
          {IDC_PROCESSING, Kind::Label, "処理中です", false, true},
          {IDC_LOG, Kind::LogEdit, "", false, false},
          {IDOK, Kind::Default, "OK", true, true},
          {IDCANCEL, Kind::Button, "キャンセル", true, true}}},
    };
    return templates;
}

INT_PTR CALLBACK QuietDlgProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

HWND CreateTemplate(int id) {
    return CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(id), nullptr, QuietDlgProc, 0);
}

std::string WindowText(HWND window) {
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

bool Has(LONG_PTR style, LONG_PTR bits) {
    return (style & bits) == bits;
}

// Checks class and style of one control against its kind.
void ExpectKind(HWND control, Kind kind) {
    const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    const std::string cls = ClassOf(control);
    const LONG_PTR buttonType = style & BS_TYPEMASK;
    const LONG_PTR editLog = ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                             WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;
    // The dialog manager draws an edit's WS_BORDER as a sunken client edge.
    const bool bordered =
        Has(style, WS_BORDER) || Has(GetWindowLongPtrA(control, GWL_EXSTYLE), WS_EX_CLIENTEDGE);
    switch (kind) {
        case Kind::Label:
            EXPECT_EQ(0, lstrcmpiA(cls.c_str(), "Static"));
            EXPECT_EQ(SS_LEFT, style & SS_TYPEMASK);
            break;
        case Kind::Icon:
            EXPECT_EQ(0, lstrcmpiA(cls.c_str(), "Static"));
            EXPECT_EQ(SS_ICON, style & SS_TYPEMASK);
            EXPECT_NE(0, SendMessageA(control, STM_GETICON, 0, 0));
            break;
        case Kind::PasswordEdit:
            EXPECT_EQ(0, lstrcmpiA(cls.c_str(), "Edit"));
            EXPECT_TRUE(Has(style, ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP));
            EXPECT_FALSE(Has(style, ES_MULTILINE));
            EXPECT_TRUE(bordered);
            break;
        case Kind::LogEdit:
            EXPECT_EQ(0, lstrcmpiA(cls.c_str(), "Edit"));
            EXPECT_TRUE(Has(style, editLog));
            EXPECT_TRUE(bordered);
            break;
        case Kind::CheckBox:
            EXPECT_EQ(BS_AUTOCHECKBOX, buttonType);
            EXPECT_TRUE(Has(style, WS_TABSTOP));
            break;
        case Kind::Radio:
            EXPECT_EQ(BS_AUTORADIOBUTTON, buttonType);
            EXPECT_TRUE(Has(style, BS_NOTIFY));
            break;
        case Kind::Group:
            EXPECT_EQ(BS_GROUPBOX, buttonType);
            break;
        case Kind::Button:
            EXPECT_EQ(BS_PUSHBUTTON, buttonType);
            EXPECT_TRUE(Has(style, WS_TABSTOP));
            break;
        case Kind::Default:
            EXPECT_EQ(BS_DEFPUSHBUTTON, buttonType);
            EXPECT_TRUE(Has(style, WS_TABSTOP));
            break;
    }
    if (kind == Kind::CheckBox || kind == Kind::Radio) {
        EXPECT_EQ(BST_UNCHECKED, SendMessageA(control, BM_GETCHECK, 0, 0));
    }
}

// --- screenshots -------------------------------------------------------------

std::string ScreenshotFolder() {
    char folder[MAX_PATH] = "";
    GetModuleFolder(ModuleInstance(), folder);
    const std::string path = std::string(folder) + "\\" + ZORV_SCREENSHOT_DIR;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// The non-client area as the platform draws it: a raised fixed frame and an
// active caption with the window's icon and text.
void DrawFrameAndCaption(HWND window, HDC dc, int width, int height) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    RECT windowRect;
    GetWindowRect(window, &windowRect);
    const int top = origin.y - windowRect.top;  // frame and caption
    const int side = origin.x - windowRect.left;
    RECT frame{0, 0, width, height};
    const HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    RECT band{0, 0, width, top};
    FillRect(dc, &band, face);
    RECT left{0, 0, side, height};
    RECT right{width - side, 0, width, height};
    RECT bottom{0, height - side, width, height};
    FillRect(dc, &left, face);
    FillRect(dc, &right, face);
    FillRect(dc, &bottom, face);
    DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    RECT caption{side, side, width - side, top - 1};
    DrawCaption(window, dc, &caption, DC_ACTIVE | DC_TEXT | DC_GRADIENT);
}

// Lets the window paint, then copies its rectangle from the screen. A
// virtual screen without a window manager leaves the frame and caption
// undrawn, so they are drawn here as the platform draws them.
bool Photograph(HWND window, const std::string& name) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const DWORD until = GetTickCount() + 300;
    MSG message;
    while (GetTickCount() < until) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    DrawFrameAndCaption(window, memory, width, height);
    GdiFlush();
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 3));
    const auto* bgra = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width * height); ++i) {
        rgb[i * 3] = bgra[i * 4 + 2];
        rgb[i * 3 + 1] = bgra[i * 4 + 1];
        rgb[i * 3 + 2] = bgra[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return WritePng((ScreenshotFolder() + "\\" + name).c_str(), width, height, rgb.data());
}

// The progress view of a batch dialog after a batch with failures: inputs
// hidden, label and log shown, Cancel relabelled as the close button.
void ShowReviewState(HWND dialog) {
    for (int id : {IDOK, IDC_ENCRYPT_PASSWORD_LABEL, IDC_ENCRYPT_PASSWORD,
                   IDC_ENCRYPT_CONFIRM_LABEL, IDC_ENCRYPT_CONFIRM, IDC_DELETE_SOURCE,
                   IDC_DECRYPT_PASSWORD_LABEL, IDC_DECRYPT_PASSWORD, IDC_REENCRYPT_GROUP,
                   IDC_REENCRYPT_AUTO, IDC_REENCRYPT_TRAY, IDC_REENCRYPT_NONE, IDC_READ_ONLY}) {
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }
    HWND log = GetDlgItem(dialog, IDC_LOG);
    // A failure each dialog meets, with a message short enough for the
    // template's log to show whole.
    const bool encrypt = GetDlgItem(dialog, IDC_DELETE_SOURCE) != nullptr;
    const std::string text = test::Cp932(
        encrypt ? "処理を実行中です\r\nC:\\data\\report.doc...OK\r\nC:\\data\\見積書.xls.crp\r\n"
                  "\t->既に暗号化されています\r\n処理を完了しました\r\n"
                : "処理を実行中です\r\nC:\\data\\report.doc.crp\r\n\t->パスワードが違います\r\n"
                  "処理を完了しました\r\n");
    SetWindowTextA(log, text.c_str());
    EnableWindow(log, TRUE);
    ShowWindow(log, SW_SHOW);
    ShowWindow(GetDlgItem(dialog, IDC_PROCESSING), SW_SHOW);
    SetWindowTextA(GetDlgItem(dialog, IDCANCEL), test::Cp932("閉じる").c_str());
}

TEST(ResourcesTest, EveryTemplateHasItsControlsInOrder) {
    ASSERT_EQ(932u, GetACP());
    for (const Template& t : Templates()) {
        SCOPED_TRACE(t.id);
        HWND dialog = CreateTemplate(t.id);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(test::Cp932(t.caption), WindowText(dialog));
        const LONG_PTR style = GetWindowLongPtrA(dialog, GWL_STYLE);
        EXPECT_TRUE(Has(style, WS_POPUP | WS_CAPTION));
        EXPECT_EQ(t.systemMenu, Has(style, WS_SYSMENU));
        EXPECT_TRUE(Has(GetWindowLongPtrA(dialog, GWL_EXSTYLE), WS_EX_DLGMODALFRAME));

        RECT units{0, 0, t.width, t.height};
        MapDialogRect(dialog, &units);
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(units.right, client.right);
        EXPECT_EQ(units.bottom, client.bottom);

        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_EQ(test::Cp932("ＭＳ Ｐゴシック"), font.lfFaceName);

        std::size_t index = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT), ++index) {
            ASSERT_LT(index, t.controls.size());
            const Control& c = t.controls[index];
            SCOPED_TRACE(c.text != nullptr ? c.text : "icon");
            EXPECT_EQ(c.id, static_cast<int>(static_cast<short>(GetDlgCtrlID(child))));
            if (c.id != -1) {
                EXPECT_EQ(child, GetDlgItem(dialog, c.id));
            }
            if (c.text != nullptr) {
                EXPECT_EQ(test::Cp932(c.text), WindowText(child));
            }
            const LONG_PTR childStyle = GetWindowLongPtrA(child, GWL_STYLE);
            EXPECT_EQ(c.visible, Has(childStyle, WS_VISIBLE));
            EXPECT_EQ(c.enabled, !Has(childStyle, WS_DISABLED));
            ExpectKind(child, c.kind);
        }
        EXPECT_EQ(t.controls.size(), index);
        DestroyWindow(dialog);
    }
}

TEST(ResourcesTest, ScreenshotsOfEveryTemplate) {
    for (const Template& t : Templates()) {
        HWND dialog = CreateTemplate(t.id);
        ASSERT_NE(nullptr, dialog);
        SetWindowPos(dialog, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
        ShowWindow(dialog, SW_SHOW);
        EXPECT_TRUE(Photograph(dialog, "dialog_" + std::to_string(t.id) + ".png"));
        if (GetDlgItem(dialog, IDC_LOG) != nullptr) {
            ShowReviewState(dialog);
            EXPECT_TRUE(Photograph(dialog, "dialog_" + std::to_string(t.id) + "_review.png"));
        }
        DestroyWindow(dialog);
    }
}

TEST(ResourcesTest, TrayMenuHoldsTheReencryptItem) {
    HMENU menu = LoadMenuA(ModuleInstance(), MAKEINTRESOURCEA(IDM_TRAY));
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(1, GetMenuItemCount(menu));
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(1, GetMenuItemCount(popup));
    EXPECT_EQ(static_cast<UINT>(IDM_REENCRYPT), GetMenuItemID(popup, 0));
    char text[64] = "";
    GetMenuStringA(popup, IDM_REENCRYPT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_EQ(test::Cp932("再暗号化(&N)"), text);
    DestroyMenu(menu);
}

TEST(ResourcesTest, IconsHave16ColourAnd256ColourImages) {
    for (int id : {IDI_PROGRAM, IDI_ENCRYPTED_FILE, IDI_MODE_SELECT}) {
        SCOPED_TRACE(id);
        HRSRC found = FindResourceA(ModuleInstance(), MAKEINTRESOURCEA(id),
                                    MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
        ASSERT_NE(nullptr, found);
        const auto* directory =
            static_cast<const std::uint8_t*>(LockResource(LoadResource(ModuleInstance(), found)));
        ASSERT_NE(nullptr, directory);
        const int count = directory[4] | (directory[5] << 8);
        bool small16 = false;
        bool large256 = false;
        for (int i = 0; i < count; ++i) {
            const std::uint8_t* entry = directory + 6 + i * 14;
            const int bits = entry[6] | (entry[7] << 8);
            small16 |= entry[0] == 16 && bits == 4;
            large256 |= entry[0] == 32 && bits == 8;
        }
        EXPECT_TRUE(small16);
        EXPECT_TRUE(large256);
        for (int size : {16, 32}) {
            HANDLE icon =
                LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0);
            EXPECT_NE(nullptr, icon) << size;
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
}

TEST(ResourcesTest, ManifestAndVersionBlock) {
    EXPECT_NE(nullptr, FindResourceA(ModuleInstance(), MAKEINTRESOURCEA(1),
                                     MAKEINTRESOURCEA(24)));  // RT_MANIFEST
    HRSRC version = FindResourceA(ModuleInstance(), MAKEINTRESOURCEA(VS_VERSION_INFO),
                                  MAKEINTRESOURCEA(16));  // RT_VERSION
    ASSERT_NE(nullptr, version);
    const auto* data =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(ModuleInstance(), version)));
    const DWORD size = SizeofResource(ModuleInstance(), version);
    const std::uint8_t signature[] = {0xBD, 0x04, 0xEF, 0xFE};
    bool found = false;
    for (DWORD i = 0; i + 12 <= size && !found; ++i) {
        if (std::memcmp(data + i, signature, 4) == 0) {
            found = true;
            // FILEVERSION's high word pair: the major and minor version.
            EXPECT_EQ(static_cast<DWORD>(ZORV_VERSION_MAJOR << 16 | ZORV_VERSION_MINOR),
                      static_cast<DWORD>(data[i + 8] | data[i + 9] << 8 | data[i + 10] << 16 |
                                         data[i + 11] << 24));
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace zorv
