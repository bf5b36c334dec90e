#include "download/DownloadFile.h"
#include "platform/RuntimeError.h"
#include "platform/win32/LoadedWindows.h"
#include "platform/win32/Twips.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowPlumbing.h"
#include "window/WebSetup.h"
#include "window/WebSetupForm.h"
#include "platform/win32/GdiObjects.h"
#include "window/win32/PicBar.h"
#include "window/win32/WebSetupControls.h"

#include "resources/ResourceIds.h"

#include <algorithm>

namespace {

constexpr wchar_t ClassName[] = L"MavikWebSetup.WebSetup";
constexpr wchar_t Caption[] = L"QorMavikWebSetup";
constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Control identifiers the test driver relies on.
constexpr int Label1Id = 1;
constexpr int Label2Id = 2;
constexpr int Image1Id = 3;
constexpr int PicBarId = 4;
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
constexpr Twips IndKur1At{5880, 30, 2340, 765};

HANDLE LoadResourceImage(int id, UINT type)
{
    return LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), type, 0, 0, LR_DEFAULTCOLOR);
}

UniqueBitmap LoadBitmapResource(int id)
{
    return UniqueBitmap(static_cast<HBITMAP>(LoadResourceImage(id, IMAGE_BITMAP)));
}

// Every GDI and user object the window shows; freed only after the window and its controls are gone.
struct Artwork {
    explicit Artwork(int dpi)
        : icon(static_cast<HICON>(LoadResourceImage(IDI_PROGRAM, IMAGE_ICON))),
          hand(static_cast<HCURSOR>(LoadResourceImage(IDC_POINTING_HAND, IMAGE_CURSOR))), logo(LoadBitmapResource(IDB_LOGO)),
          faces{LoadBitmapResource(IDB_BUTTON0), LoadBitmapResource(IDB_BUTTON1), LoadBitmapResource(IDB_BUTTON2),
                LoadBitmapResource(IDB_BUTTON3)},
          statusFont(CreateFontW(-MulDiv(975, dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, TURKISH_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif"))
    {
    }

    UniqueIcon icon;
    UniqueCursor hand;
    UniqueBitmap logo;
    std::array<UniqueBitmap, Win32ButtonGroup::Members> faces;
    UniqueFont statusFont;
};

HWND CreateImage(HWND parent, int id, DWORD style, const RECT& at, HBITMAP image)
{
    const HWND control = CreateStatic(parent, id, SS_BITMAP | style, at);
    SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    return control;
}

class Win32WebSetupWindow final : public WebSetupWindow, private FormWindow {
public:
    Win32WebSetupWindow(SetupState& state, Platform& platform, std::function<void()> installPackages)
        : state_(state), platform_(platform), installPackages_(std::move(installPackages))
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
        Win32Label label1;
        Win32Label label2;
        Win32ButtonGroup buttons;
        PicBar bar;
        Win32CursorProbe cursor;
    };

    void Hide() override { ShowWindow(window_, SW_HIDE); }
    void Unload() override { DestroyWindow(window_); }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnCommand(WPARAM wParam);
    LRESULT OnCtlColorStatic(HDC dc, HWND control) const;
    bool OnSetCursor(HWND target, LPARAM lParam) const;

    SetupState& state_;
    Platform& platform_;
    std::function<void()> installPackages_;
    int dpi_ = 96;
    std::unique_ptr<Artwork> artwork_;
    HWND window_ = nullptr;
    std::unique_ptr<Controls> controls_;
    std::unique_ptr<WebSetupForm> form_;
};

void Win32WebSetupWindow::Load()
{
    RegisterWindowClass(ClassName, WindowProc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    dpi_ = ScreenDpi();
    RECT frame = ToPixels(ClientArea, dpi_);
    AdjustWindowRectEx(&frame, Style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (!CreateWindowExW(0, ClassName, Caption, Style, left, top, width, height, nullptr, nullptr,
                         GetModuleHandleW(nullptr), this)) {
        const DWORD error = GetLastError();
        throw RuntimeError(static_cast<std::int32_t>(error), SystemErrorText(error));
    }
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
    artwork_ = std::make_unique<Artwork>(dpi_);
    for (const WPARAM size : {ICON_BIG, ICON_SMALL})
        SendMessageW(window_, WM_SETICON, size, reinterpret_cast<LPARAM>(artwork_->icon.Get()));

    CreateImage(window_, Image1Id, 0, ToPixels(Image1At, dpi_), artwork_->logo.Get());
    const HWND label2 = CreateStatic(window_, Label2Id, SS_LEFT | SS_NOPREFIX, ToPixels(Label2At, dpi_));
    SendMessageW(label2, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    const HWND label1 = CreateStatic(window_, Label1Id, SS_CENTER | SS_NOPREFIX, ToPixels(Label1At, dpi_));
    SendMessageW(label1, WM_SETFONT, reinterpret_cast<WPARAM>(artwork_->statusFont.Get()), FALSE);

    std::array<HWND, Win32ButtonGroup::Members> members{};
    for (int i = 0; i < Win32ButtonGroup::Members; ++i)
        members[i] = CreateImage(window_, FirstButtonId + i, SS_NOTIFY, ToPixels(IndKur1At, dpi_),
                                 artwork_->faces[i].Get());

    controls_.reset(new Controls{Win32Label(label1), Win32Label(label2),
                                 Win32ButtonGroup(members, artwork_->hand.Get()),
                                 PicBar(window_, PicBarId, ToPixels(PicBarAt, dpi_)), Win32CursorProbe()});
    // The status line overlaps the bar and the button a little: labels lie under
    // every other control, as if drawn on the window itself.
    for (const HWND label : {label2, label1})
        SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!label1 || !label2 || !controls_->bar.Handle() ||
        std::find(members.begin(), members.end(), nullptr) != members.end())
        return false;

    Controls& controls = *controls_;
    form_ = std::make_unique<WebSetupForm>(
        state_, platform_.dialogs,
        WebSetupControls{controls.label1, controls.label2, controls.buttons, controls.bar, controls.cursor, *this},
        [this](const Text& url, const Text& localPath, ProgressBar& bar, StatusLabel& statusLabel) {
            std::int32_t fileSize = 0;
            return DownloadFile(state_, platform_, bar, url, localPath, true, statusLabel, fileSize);
        },
        std::move(installPackages_));
    return SetTimer(window_, MouseCheckId, MouseCheckInterval, nullptr) != 0;
}

void Win32WebSetupWindow::OnCommand(WPARAM wParam)
{
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == STN_CLICKED && id >= FirstButtonId && id < FirstButtonId + Win32ButtonGroup::Members)
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

LRESULT Win32WebSetupWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_NCDESTROY:
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
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK Win32WebSetupWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = WindowOwner<Win32WebSetupWindow>(window, message, lParam);
    if (self && message == WM_NCCREATE) self->window_ = window;
    return self ? self->OnMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

std::unique_ptr<WebSetupWindow> CreateWebSetupWindow(SetupState& state, Platform& platform,
                                                     std::function<void()> installPackages)
{
    return std::make_unique<Win32WebSetupWindow>(state, platform, std::move(installPackages));
}
