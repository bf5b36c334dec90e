#include "download/DownloadFile.h"
#include "download/Requests.h"
#include "platform/ArtworkScale.h"
#include "platform/RuntimeError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/GdiObjects.h"
#include "platform/win32/LoadedWindows.h"
#include "platform/win32/ResourceImages.h"
#include "platform/win32/Twips.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowPlumbing.h"
#include "window/WebSetup.h"
#include "window/WebSetupForm.h"
#include "window/win32/ImageButton.h"
#include "window/win32/PicBar.h"
#include "window/win32/WebSetupControls.h"

#include "resources/ResourceIds.h"

#include <utility>

namespace {

constexpr wchar_t ClassName[] = L"MavikWebSetup.WebSetup";
constexpr wchar_t Caption[] = L"QorMavikWebSetup";
constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Control identifiers the test driver relies on.
constexpr int Label1Id = 1;
constexpr int Label2Id = 2;
constexpr int Image1Id = 3;
constexpr int PicBarId = 4;
constexpr int ButtonFocusId = 9;
constexpr int FirstButtonId = 10;

constexpr UINT_PTR MouseCheckId = 1;
constexpr UINT MouseCheckInterval = 50;

constexpr COLORREF StatusTextColour = 0x0000C0;
constexpr COLORREF White = 0xFFFFFF;

// The layout in twips.
constexpr Twips ClientArea{0, 0, 8205, 1365};
constexpr Twips Image1At{120, 120, 960, 480};
// Tall enough for the three lines the welcome text wraps into, down to the status line.
constexpr Twips Label2At{1200, 120, 4455, 600};
constexpr Twips Label1At{120, 720, 8055, 345};
constexpr Twips PicBarAt{120, 1035, 8010, 195};
// Ends on the client area's right edge (8205 twips); from 5880 it would reach one pixel
// beyond it at every DPI and lose its last column.
constexpr Twips IndKur1At{5865, 30, 2340, 765};

SIZE SizeOf(const RECT& rect) { return {rect.right - rect.left, rect.bottom - rect.top}; }

// The picture of the scale nearest to dpi, at the size of its spot there.
UniqueBitmap Picture(int firstId, const Twips& spot, int dpi)
{
    return PngResource(firstId + NearestArtworkScale(dpi), SizeOf(ToPixels(spot, dpi)));
}

// Every GDI and user object the window shows at one DPI; freed only when no control shows it any more.
struct Artwork {
    explicit Artwork(int dpi)
        : bigIcon(IconResource(IDI_PROGRAM, SystemMetricForDpi(SM_CXICON, dpi))),
          smallIcon(IconResource(IDI_PROGRAM, SystemMetricForDpi(SM_CXSMICON, dpi))),
          logo(Picture(IDP_LOGO, Image1At, dpi)),
          faces{Picture(IDP_BUTTON0, IndKur1At, dpi), Picture(IDP_BUTTON1, IndKur1At, dpi),
                Picture(IDP_BUTTON2, IndKur1At, dpi), Picture(IDP_BUTTON3, IndKur1At, dpi)},
          dialogFont(DialogFont(dpi)),
          statusFont(CreateFontW(-MulDiv(975, dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, TURKISH_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"))
    {
    }

    std::array<HBITMAP, ImageButton::Members> Faces() const
    {
        return {faces[0].Get(), faces[1].Get(), faces[2].Get(), faces[3].Get()};
    }

    UniqueIcon bigIcon;
    UniqueIcon smallIcon;
    UniqueBitmap logo;
    std::array<UniqueBitmap, ImageButton::Members> faces;
    UniqueFont dialogFont;
    UniqueFont statusFont;
};

class Win32WebSetupWindow final : public WebSetupWindow, private FormWindow, private WindowObject {
public:
    Win32WebSetupWindow(SetupState& state, Platform& platform, std::function<void()> installPackages)
        : state_(state), platform_(platform), installPackages_(std::move(installPackages)), requests_(platform)
    {
    }
    Win32WebSetupWindow(const Win32WebSetupWindow&) = delete;
    Win32WebSetupWindow& operator=(const Win32WebSetupWindow&) = delete;
    ~Win32WebSetupWindow() override
    {
        // The controls show the artwork, which goes with this object.
        if (window_) DestroyWindow(window_);
    }

    void Load() override;
    void Show() override;

private:
    // The controls the form's logic works on, made when the window is created.
    struct Controls {
        HWND image1;
        Win32Label label1;
        Win32Label label2;
        ImageButton buttons;
        PicBar bar;
        Win32CursorProbe cursor;
    };

    void Hide() override { ShowWindow(window_, SW_HIDE); }
    void Unload() override { DestroyWindow(window_); }

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCreate();
    void Layout();
    void CentreOnScreen();
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnKeyDown(WPARAM key, LPARAM flags);
    void OnCommand(WPARAM wParam);
    LRESULT OnCtlColorStatic(HDC dc, HWND control) const;
    bool OnSetCursor(HWND target, LPARAM lParam) const;

    SetupState& state_;
    Platform& platform_;
    std::function<void()> installPackages_;
    int dpi_ = 96;
    // The pictures the controls show; kept apart from them so that a new DPI can replace them.
    std::unique_ptr<Artwork> artwork_;
    HWND window_ = nullptr;
    // Loaded before the controls, which show it; freed after the window.
    UniqueCursor hand_;
    std::unique_ptr<Controls> controls_;
    // Outlives the form, whose transfers hand it the requests they give up.
    Requests requests_;
    std::unique_ptr<WebSetupForm> form_;
};

void Win32WebSetupWindow::Load()
{
    RegisterWindowClass(ClassName, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // Created at the top left of the primary monitor, whose DPI it then takes, and sized and
    // centred once it knows that DPI.
    if (!CreateWindowExW(0, ClassName, Caption, Style, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr),
                         static_cast<WindowObject*>(this)))
        throw Win32Error(GetLastError());
    CentreOnScreen();
    form_->Form_Load();
}

void Win32WebSetupWindow::Show()
{
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
}

bool Win32WebSetupWindow::OnCreate()
{
    LoadedWindows::Loaded();
    dpi_ = WindowDpi(window_);
    hand_ = UniqueCursor(static_cast<HCURSOR>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_POINTING_HAND), IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR)));
    const HWND image1 = CreateStatic(window_, Image1Id, SS_BITMAP, {});
    const HWND label2 = CreateStatic(window_, Label2Id, SS_LEFT | SS_NOPREFIX, {});
    const HWND label1 = CreateStatic(window_, Label1Id, SS_CENTER | SS_NOPREFIX, {});
    controls_.reset(new Controls{image1, Win32Label(label1), Win32Label(label2),
                                 ImageButton(window_, ButtonFocusId, FirstButtonId, hand_.Get()),
                                 PicBar(window_, PicBarId, ToPixels(PicBarAt, dpi_)), Win32CursorProbe()});
    // The status line overlaps the bar and the button a little: labels lie under
    // every other control, as if drawn on the window itself.
    for (const HWND label : {label2, label1})
        SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!image1 || !label1 || !label2 || !controls_->bar.Handle() || !controls_->buttons.Created()) return false;
    artwork_ = std::make_unique<Artwork>(dpi_);
    Layout();

    Controls& controls = *controls_;
    form_ = std::make_unique<WebSetupForm>(
        state_, platform_.dialogs, platform_.events,
        WebSetupControls{controls.label1, controls.label2, controls.buttons, controls.bar, controls.cursor, *this},
        [this](const Text& url, const Text& localPath, ProgressBar& bar, StatusLabel& statusLabel) {
            return std::make_unique<DownloadFile>(state_, platform_, requests_, bar, url, localPath, true, statusLabel);
        },
        std::move(installPackages_));
    platform_.events.SetBackgroundWork(form_.get());
    return SetTimer(window_, MouseCheckId, MouseCheckInterval, nullptr) != 0;
}

// Puts every control on its spot at dpi_ and has it show artwork_.
void Win32WebSetupWindow::Layout()
{
    Controls& controls = *controls_;
    const Artwork& artwork = *artwork_;
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(artwork.bigIcon.Get()));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(artwork.smallIcon.Get()));

    const auto place = [this](HWND control, const Twips& at) {
        const RECT spot = ToPixels(at, dpi_);
        MoveWindow(control, spot.left, spot.top, spot.right - spot.left, spot.bottom - spot.top, TRUE);
    };
    // A bitmap static takes its picture's size, which is that of its spot.
    SendMessageW(controls.image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(artwork.logo.Get()));
    place(controls.image1, Image1At);
    SendMessageW(controls.label2.Window(), WM_SETFONT, reinterpret_cast<WPARAM>(artwork.dialogFont.Get()), TRUE);
    place(controls.label2.Window(), Label2At);
    SendMessageW(controls.label1.Window(), WM_SETFONT, reinterpret_cast<WPARAM>(artwork.statusFont.Get()), TRUE);
    place(controls.label1.Window(), Label1At);
    controls.bar.Move(ToPixels(PicBarAt, dpi_));
    controls.buttons.Place(ToPixels(IndKur1At, dpi_), artwork.Faces());
}

void Win32WebSetupWindow::CentreOnScreen()
{
    const RECT frame = FrameForClient(ToPixels(ClientArea, dpi_), Style, 0, dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window has moved to a monitor of another DPI, or that monitor's DPI has changed.
void Win32WebSetupWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    dpi_ = dpi;
    // The pictures shown so far go at the end, once no control shows them any more.
    const auto previous = std::exchange(artwork_, std::make_unique<Artwork>(dpi_));
    Layout();
    // Windows suggests a rectangle that keeps the window under the mouse while it is dragged.
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32WebSetupWindow::OnKeyDown(WPARAM key, LPARAM flags)
{
    // Bit 30: the key was already down, so this is a repeat of a held key.
    const bool repeat = (flags & (1 << 30)) != 0;
    switch (key) {
    case VK_RETURN: form_->Form_KeyDown(FormKey::Enter, repeat); break;
    case VK_SPACE: form_->Form_KeyDown(FormKey::Space, repeat); break;
    case VK_ESCAPE: form_->Form_KeyDown(FormKey::Escape, repeat); break;
    // The button is the only control that takes the focus: Tab keeps it there.
    case VK_TAB: SetFocus(controls_->buttons.FocusHolder()); break;
    }
}

void Win32WebSetupWindow::OnCommand(WPARAM wParam)
{
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == STN_CLICKED && id >= FirstButtonId && id < FirstButtonId + ImageButton::Members)
        form_->IndKur1_Click(id - FirstButtonId);
}

LRESULT Win32WebSetupWindow::OnCtlColorStatic(HDC dc, HWND control) const
{
    if (control == controls_->label1.Window()) SetTextColor(dc, StatusTextColour);
    SetBkColor(dc, White);
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

bool Win32WebSetupWindow::OnSetCursor(HWND target, LPARAM lParam) const
{
    if (LOWORD(lParam) != HTCLIENT) return false;
    const HCURSOR pointer = controls_->buttons.PointerOf(target);
    if (!pointer) return false;
    SetCursor(pointer);
    return true;
}

LRESULT Win32WebSetupWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        window_ = window;
        break;
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_NCDESTROY:
        platform_.events.SetBackgroundWork(nullptr);
        LoadedWindows::Unloaded();
        window_ = nullptr;
        return 0;
    }
    // Until the form exists the window only takes the default handling.
    if (!form_) return DefWindowProcW(window_, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam);
        return 0;
    case WM_TIMER:
        if (wParam == MouseCheckId) form_->MouseCheck_Timer();
        return 0;
    case WM_CLOSE:
        form_->Form_QueryUnload();
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam), lParam)) return TRUE;
        break;
    case WM_SETFOCUS:
        // Activating the window, also on open, gives the focus to the button.
        SetFocus(controls_->buttons.FocusHolder());
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(wParam, lParam);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace

std::unique_ptr<WebSetupWindow> CreateWebSetupWindow(SetupState& state, Platform& platform,
                                                     std::function<void()> installPackages)
{
    return std::make_unique<Win32WebSetupWindow>(state, platform, std::move(installPackages));
}
