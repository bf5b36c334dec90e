#include "runner/win32/WaitWindowRunner.h"

#include "platform/RuntimeError.h"
#include "platform/win32/LoadedWindows.h"
#include "platform/win32/Twips.h"
#include "platform/win32/WideText.h"
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
        if (enabled)
            SetTimer(window_, Timer1, Timer1Interval, nullptr);
        else
            KillTimer(window_, Timer1);
    }
    void Focus() override { SetFocus(window_); }
    void Hide() override { ShowWindow(window_, SW_HIDE); }
    void Unload() override
    {
        if (window_) DestroyWindow(window_);
    }

private:
    static void RegisterClassOnce();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate();
    LRESULT OnTimer(UINT_PTR timer);
    LRESULT OnDestroy();
    LRESULT OnNcDestroy();

    FOneAl& handlers_;
    HWND window_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
};

void Win32WaitWindow::RegisterClassOnce()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = ProgramModule();
        windowClass.hIcon = ProgramIcon();
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = ClassName;
        if (!RegisterClassExW(&windowClass)) RaiseLastError();
        return true;
    }();
    (void)registered;
}

void Win32WaitWindow::Load()
{
    RegisterClassOnce();
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
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32WaitWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    }
    auto* self = reinterpret_cast<Win32WaitWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
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
    const RECT at = ToPixels(Label1At, dpi_);
    HWND label = CreateWindowExW(0, L"STATIC", Label1Caption, WS_CHILD | WS_VISIBLE | SS_CENTER, at.left, at.top,
                                 at.right - at.left, at.bottom - at.top, window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(Label1Id)), ProgramModule(),
                                 nullptr);
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
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
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
