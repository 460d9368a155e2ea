// What the harness reads from the screen: screenshots of dialogs and the
// kind of icon a message box shows.
#include "support/harness.h"

#include "support/png_writer.h"

#include <cstdint>
#include <cstdlib>

#ifndef ZORV_E2E_SCREENSHOTS
#error "ZORV_E2E_SCREENSHOTS must name the folder for screenshots"
#endif

namespace zorv::e2e {
namespace {

// Pixels of a screen rectangle, top row first, 0x00RRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
};

// A 32-bit top-down DIB section selected into a memory DC.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (dc_ != nullptr && bitmap_ != nullptr) {
            old_ = SelectObject(dc_, bitmap_);
        }
    }
    ~MemoryCanvas() {
        if (old_ != nullptr) {
            SelectObject(dc_, old_);
        }
        if (bitmap_ != nullptr) {
            DeleteObject(bitmap_);
        }
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    bool IsValid() const { return old_ != nullptr; }
    HDC Dc() const { return dc_; }

    void Fill(COLORREF colour) {
        HBRUSH brush = CreateSolidBrush(colour);
        RECT all{0, 0, width_, height_};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }

    Pixels Read() const {
        GdiFlush();
        Pixels out;
        out.width = width_;
        out.height = height_;
        const auto* source = static_cast<const std::uint32_t*>(bits_);
        out.rgb.assign(source, source + static_cast<size_t>(width_) * static_cast<size_t>(height_));
        for (std::uint32_t& pixel : out.rgb) {
            pixel &= 0x00FFFFFFu;
        }
        return out;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};

// Brings the window to the front and lets it finish painting, so the screen
// shows it and nothing else where it lies.
void PrepareForCapture(HWND window) {
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    Sleep(150);
}

bool CaptureScreen(const RECT& area, Pixels* out) {
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    MemoryCanvas canvas(width, height);
    HDC screen = GetDC(nullptr);
    bool ok = canvas.IsValid() && screen != nullptr &&
              BitBlt(canvas.Dc(), 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    if (ok) {
        *out = canvas.Read();
    }
    return ok;
}

// The stock icon drawn at the given size over black and over white: pixels
// that come out equal are the icon's opaque pixels.
bool DrawStockIcon(LPCSTR which, int width, int height, Pixels* overBlack, Pixels* overWhite) {
    HICON icon = LoadIconA(nullptr, which);
    if (icon == nullptr) {
        return false;
    }
    MemoryCanvas canvas(width, height);
    if (!canvas.IsValid()) {
        return false;
    }
    canvas.Fill(RGB(0, 0, 0));
    DrawIconEx(canvas.Dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    *overBlack = canvas.Read();
    canvas.Fill(RGB(255, 255, 255));
    DrawIconEx(canvas.Dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    *overWhite = canvas.Read();
    return true;
}

bool Close(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int da = static_cast<int>((a >> shift) & 0xFF);
        int db = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(da - db) > 24) {
            return false;
        }
    }
    return true;
}

// Share of the icon's opaque pixels that differ on screen; 1 when the icon
// has no opaque pixel.
double Mismatch(const Pixels& screen, const Pixels& overBlack, const Pixels& overWhite) {
    size_t opaque = 0;
    size_t wrong = 0;
    for (size_t i = 0; i < screen.rgb.size(); ++i) {
        if (overBlack.rgb[i] != overWhite.rgb[i]) {
            continue;
        }
        ++opaque;
        wrong += Close(screen.rgb[i], overBlack.rgb[i]) ? 0u : 1u;
    }
    return opaque == 0 ? 1.0 : static_cast<double>(wrong) / static_cast<double>(opaque);
}

bool IsUniform(const Pixels& pixels) {
    for (std::uint32_t pixel : pixels.rgb) {
        if (!Close(pixel, pixels.rgb.front())) {
            return false;
        }
    }
    return true;
}

HWND IconStatic(HWND box) {
    for (int id : {0x440, 20}) {
        HWND icon = GetDlgItem(box, id);
        if (icon != nullptr) {
            return icon;
        }
    }
    return nullptr;
}

bool ClientAreaOnScreen(HWND window, RECT* area) {
    if (!GetClientRect(window, area)) {
        return false;
    }
    POINT corner{0, 0};
    ClientToScreen(window, &corner);
    OffsetRect(area, corner.x, corner.y);
    return true;
}

}  // namespace

bool DialogView::SaveScreenshot(const std::string& name) const {
    RECT area;
    if (!IsOpen() || !GetWindowRect(Handle(), &area)) {
        return false;
    }
    PrepareForCapture(Handle());
    return SaveScreenArea(area, name);
}

bool SaveScreenArea(const RECT& area, const std::string& name) {
    Pixels pixels;
    if (!CaptureScreen(area, &pixels)) {
        return false;
    }
    std::string folder = ToWindowsPath(ZORV_E2E_SCREENSHOTS);
    MakeFolder(folder);
    std::vector<std::uint8_t> rgb;
    rgb.reserve(3 * pixels.rgb.size());
    for (std::uint32_t pixel : pixels.rgb) {
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<std::uint8_t>(pixel));
    }
    std::string path = folder + "\\" + name + ".png";
    return zorv::WritePng(path.c_str(), pixels.width, pixels.height, rgb.data());
}

IconKind MessageBoxView::Icon() const {
    HWND icon = IconStatic(Handle());
    RECT area;
    if (icon == nullptr || !IsWindowVisible(icon) || !ClientAreaOnScreen(icon, &area)) {
        return IconKind::kNone;
    }
    PrepareForCapture(Handle());
    Pixels screen;
    if (!CaptureScreen(area, &screen)) {
        return IconKind::kUnknown;
    }
    if (IsUniform(screen)) {
        return IconKind::kNone;
    }
    struct Candidate {
        LPCSTR stock;
        IconKind kind;
    };
    const Candidate candidates[] = {{IDI_HAND, IconKind::kError},
                                    {IDI_EXCLAMATION, IconKind::kWarning},
                                    {IDI_ASTERISK, IconKind::kInformation},
                                    {IDI_QUESTION, IconKind::kQuestion}};
    IconKind best = IconKind::kUnknown;
    double bestMismatch = 0.1;  // more than this is no match at all
    for (const Candidate& candidate : candidates) {
        Pixels overBlack;
        Pixels overWhite;
        if (!DrawStockIcon(candidate.stock, screen.width, screen.height, &overBlack, &overWhite)) {
            continue;
        }
        double mismatch = Mismatch(screen, overBlack, overWhite);
        if (mismatch < bestMismatch) {
            bestMismatch = mismatch;
            best = candidate.kind;
        }
    }
    return best;
}

}  // namespace zorv::e2e
