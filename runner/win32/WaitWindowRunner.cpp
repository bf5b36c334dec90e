#include "runner/win32/WaitWindowRunner.h"

#include "platform/RuntimeError.h"
#include "platform/win32/LoadedWindows.h"
#include "platform/win32/Twips.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowPlumbing.h"
#include "resources/ResourceIds.h"

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

// A shared icon belongs to the system, which frees it; the small icon is derived from it.
HICON ProgramIcon()
{
    return static_cast<HICON>(LoadImageW(ProgramModule(), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
}

[[noreturn]] void RaiseLastError()
{
    const DWORD error = GetLastError();
    throw RuntimeError(ErrorNumber::InvalidProcedureCall, SystemErrorText(error));
}

class Win32WaitWindow : public WaitWindowView {
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
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate();
    LRESULT OnTimer(UINT_PTR timer);
    LRESULT OnDestroy();
    LRESULT OnNcDestroy();

    FOneAl& handlers_;
    HWND window_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
};

void Win32WaitWindow::Load()
{
    RegisterWindowClass(ClassName, WindowProc, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), ProgramIcon());
    dpi_ = ScreenDpi();
    RECT frame = ToPixels(ClientArea, dpi_);
    AdjustWindowRectEx(&frame, FrameStyle, FALSE, FrameExStyle);
    if (!CreateWindowExW(FrameExStyle, ClassName, Caption, FrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, ProgramModule(),
                         this))
        RaiseLastError();
    handlers_.Form_Load(*this);
}

LRESULT CALLBACK Win32WaitWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowOwner<Win32WaitWindow>(window, message, lParam);
    if (self) {
        if (message == WM_NCCREATE) self->window_ = window;
        switch (message) {
        case WM_CREATE: return self->OnCreate();
        case WM_TIMER: return self->OnTimer(wParam);
        // The window goes away only after its package has been dealt with.
        case WM_CLOSE: return 0;
        case WM_DESTROY: return self->OnDestroy();
        case WM_NCDESTROY: return self->OnNcDestroy();
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32WaitWindow::OnCreate()
{
    LoadedWindows::Loaded();
    const HWND label = CreateStatic(window_, Label1Id, SS_CENTER, ToPixels(Label1At, dpi_), Label1Caption);
    if (label) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
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

WaitWindowRunner::WaitWindowRunner(SetupState& state, Platform& platform)
    : state_(state), platform_(platform), handlers_(state, platform),
      window_(std::make_unique<Win32WaitWindow>(handlers_))
{
}

WaitWindowRunner::~WaitWindowRunner() = default;

void WaitWindowRunner::RunPackage(const Text& path) { ::RunPackage(state_, platform_.events, *window_, path); }
