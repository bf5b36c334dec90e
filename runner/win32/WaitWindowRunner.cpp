#include "runner/win32/WaitWindowRunner.h"

#include "platform/RuntimeError.h"
#include "platform/win32/Dpi.h"
#include "platform/win32/LoadedWindows.h"
#include "platform/win32/ResourceImages.h"
#include "platform/win32/Twips.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowPlumbing.h"
#include "resources/ResourceIds.h"

#include <memory>
#include <utility>

namespace {

const wchar_t ClassName[] = L"MavikWebSetup.FOneAl";
const wchar_t Caption[] = L"Bekleyiniz...";
const wchar_t Label1Caption[] = L"Gerekli programlar kuruluyor...";

// A caption without control box: the window cannot be closed before its package has run.
constexpr DWORD FrameStyle = WS_OVERLAPPED | WS_CAPTION;
constexpr DWORD FrameExStyle = 0;

constexpr UINT_PTR Timer1 = 1;
constexpr UINT Timer1Interval = 200;
constexpr int Label1Id = 1;

constexpr Twips ClientArea{0, 0, 4680, 435};
constexpr Twips Label1At{0, 120, 4695, 375};

HINSTANCE ProgramModule() { return GetModuleHandleW(nullptr); }

// The icons and the label's font at one DPI: each icon drawn at the size the title bar and
// the task switcher ask for, none stretched.
struct WaitArtwork {
    explicit WaitArtwork(int dpi)
        : bigIcon(IconResource(IDI_PROGRAM, SystemMetricForDpi(SM_CXICON, dpi))),
          smallIcon(IconResource(IDI_PROGRAM, SystemMetricForDpi(SM_CXSMICON, dpi))), font(DialogFont(dpi))
    {
    }
    UniqueIcon bigIcon;
    UniqueIcon smallIcon;
    UniqueFont font;
};

[[noreturn]] void RaiseLastError() { throw Win32Error(GetLastError(), ErrorNumber::InvalidProcedureCall); }

class Win32WaitWindow : public WaitWindowView, private WindowObject {
public:
    explicit Win32WaitWindow(FOneAl& handlers) : handlers_(handlers) {}
    Win32WaitWindow(const Win32WaitWindow&) = delete;
    Win32WaitWindow& operator=(const Win32WaitWindow&) = delete;
    ~Win32WaitWindow() override { Unload(); }

    void Load() override;
    void Show() override { ShowWindow(window_, SW_SHOW); }
    WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(window_); }
    void SetTopmost() override
    {
        SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    void EnableTimer(bool enabled) override
    {
        // Without its tick the package would never start and RunPackage would spin for ever.
        if (!enabled)
            KillTimer(window_, Timer1);
        else if (!SetTimer(window_, Timer1, Timer1Interval, nullptr))
            RaiseLastError();
    }
    void Focus() override { SetFocus(window_); }
    void Hide() override { ShowWindow(window_, SW_HIDE); }
    void Unload() override
    {
        if (window_) DestroyWindow(window_);
    }

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreate();
    void Layout();
    LRESULT OnDpiChanged(int dpi, const RECT& suggested);
    LRESULT OnTimer(UINT_PTR timer);
    LRESULT OnDestroy();
    LRESULT OnNcDestroy();

    FOneAl& handlers_;
    // Replaced with each load; what the window shows outlives it.
    std::unique_ptr<WaitArtwork> artwork_;
    HWND window_ = nullptr;
    HWND label_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
};

void Win32WaitWindow::Load()
{
    RegisterWindowClass(ClassName, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // Sized once it knows the DPI of the monitor it was placed on.
    if (!CreateWindowExW(FrameExStyle, ClassName, Caption, FrameStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr,
                         nullptr, ProgramModule(), static_cast<WindowObject*>(this)))
        RaiseLastError();
    const RECT frame = FrameForClient(ToPixels(ClientArea, dpi_), FrameStyle, FrameExStyle, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    handlers_.Form_Load(*this);
}

LRESULT Win32WaitWindow::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) window_ = window;
    switch (message) {
    case WM_CREATE: return OnCreate();
    case WM_TIMER: return OnTimer(wParam);
    case WM_DPICHANGED: return OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
    // The window goes away only after its package has been dealt with.
    case WM_CLOSE: return 0;
    case WM_DESTROY: return OnDestroy();
    case WM_NCDESTROY: return OnNcDestroy();
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32WaitWindow::OnCreate()
{
    LoadedWindows::Loaded();
    dpi_ = WindowDpi(window_);
    label_ = CreateStatic(window_, Label1Id, SS_CENTER, {}, Label1Caption);
    Layout();
    return 0;
}

void Win32WaitWindow::Layout()
{
    // What the window showed so far goes at the end, once it shows the new pictures and font.
    const auto previous = std::exchange(artwork_, std::make_unique<WaitArtwork>(dpi_));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(artwork_->bigIcon.Get()));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(artwork_->smallIcon.Get()));
    SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(artwork_->font.Get()), TRUE);
    const RECT at = ToPixels(Label1At, dpi_);
    MoveWindow(label_, at.left, at.top, at.right - at.left, at.bottom - at.top, TRUE);
}

LRESULT Win32WaitWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    dpi_ = dpi;
    Layout();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

LRESULT Win32WaitWindow::OnTimer(UINT_PTR timer)
{
    if (timer == Timer1) handlers_.Timer1_Timer(*this);
    return 0;
}

LRESULT Win32WaitWindow::OnDestroy()
{
    KillTimer(window_, Timer1);
    handlers_.Form_Unload();
    return 0;
}

LRESULT Win32WaitWindow::OnNcDestroy()
{
    window_ = nullptr;
    LoadedWindows::Unloaded();
    return 0;
}

} // namespace

WaitWindowRunner::WaitWindowRunner(SetupState& state, Platform& platform, StagingFolder& staging)
    : state_(state), platform_(platform), handlers_(state, platform, staging),
      window_(std::make_unique<Win32WaitWindow>(handlers_))
{
}

WaitWindowRunner::~WaitWindowRunner() = default;

void WaitWindowRunner::RunPackage(const Text& path) { ::RunPackage(state_, platform_.events, *window_, path); }
