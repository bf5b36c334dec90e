#include "window/win32/ImageButton.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WindowPlumbing.h"

#include <algorithm>

namespace {

constexpr wchar_t FocusClass[] = L"MavikWebSetup.IndKur1";
constexpr wchar_t FaceClass[] = L"MavikWebSetup.IndKur1.Face";

// Window texts take "&" for a mnemonic; "&&" is a literal ampersand, as "İndir&Kur" needs.
std::wstring LiteralText(const Text& text)
{
    std::wstring literal;
    for (const char16_t c : text) {
        if (c == u'&') literal += L'&';
        literal += static_cast<wchar_t>(c);
    }
    return literal;
}

HWND CreateChild(const wchar_t* className, HWND parent, int id, DWORD style, const std::wstring& text,
                 WindowObject* owner)
{
    return CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), owner);
}

}  // namespace

ImageButton::ImageButton(HWND parent, int focusId, int firstId, HCURSOR firstPointer)
    : parent_(parent), focusId_(focusId)
{
    RegisterWindowClass(FocusClass, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // A quick second click is a double click, which presses nothing more.
    RegisterWindowClass(FaceClass, nullptr, nullptr, CS_DBLCLKS);
    BOOL alwaysShown = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &alwaysShown, 0);
    focusCues_ = alwaysShown != FALSE;
    pointers_[0] = firstPointer;
    for (int i = 0; i < Members; ++i)
        members_[i] = CreateChild(FaceClass, parent, firstId + i, WS_VISIBLE, LiteralText(IndKur1Faces[i]),
                                  static_cast<WindowObject*>(this));
    // Children lie in the order they were made, the first on top: the faces cover the holder.
    focus_ = CreateChild(FocusClass, parent, focusId, WS_VISIBLE | WS_TABSTOP, LiteralText(IndKur1Faces[0]),
                         static_cast<WindowObject*>(this));
}

bool ImageButton::Created() const
{
    return focus_ && std::find(members_.begin(), members_.end(), nullptr) == members_.end();
}

void ImageButton::Place(const RECT& at, const std::array<HBITMAP, Members>& faces)
{
    faces_ = faces;
    const int width = at.right - at.left;
    const int height = at.bottom - at.top;
    MoveWindow(focus_, at.left, at.top, width, height, TRUE);
    for (const HWND member : members_) MoveWindow(member, at.left, at.top, width, height, TRUE);
    RepaintFaces();
}

void ImageButton::ShowFocusCues()
{
    if (focusCues_) return;
    focusCues_ = true;
    RepaintFaces();
}

HCURSOR ImageButton::PointerOf(HWND window) const
{
    for (int i = 0; i < Members; ++i)
        if (members_[i] == window) return pointers_[i];
    return nullptr;
}

NativeHandle ImageButton::Handle(int index) const { return reinterpret_cast<NativeHandle>(members_.at(index)); }

bool ImageButton::Visible(int index) const
{
    return (GetWindowLongW(members_.at(index), GWL_STYLE) & WS_VISIBLE) != 0;
}

void ImageButton::SetVisible(int index, bool visible)
{
    if (visible) SetWindowTextW(focus_, LiteralText(IndKur1Faces.at(index)).c_str());
    ShowWindow(members_.at(index), visible ? SW_SHOWNA : SW_HIDE);
}

NativeHandle ImageButton::MousePointer(int index) const { return reinterpret_cast<NativeHandle>(pointers_.at(index)); }

void ImageButton::SetMousePointer(int index, NativeHandle pointer)
{
    pointers_.at(index) = reinterpret_cast<HCURSOR>(pointer);
}

void ImageButton::OnFaceClick(HWND member)
{
    SetFocus(focus_);
    SendMessageW(parent_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(member), STN_CLICKED), reinterpret_cast<LPARAM>(member));
}

void ImageButton::PaintFace(HWND member) const
{
    const PaintDc target(member);
    const auto index = std::find(members_.begin(), members_.end(), member) - members_.begin();
    if (index >= Members || !faces_[index]) return;
    RECT area{};
    GetClientRect(member, &area);
    {
        const BitmapDc face(faces_[index]);
        BitBlt(target.Get(), 0, 0, area.right, area.bottom, face.Get(), 0, 0, SRCCOPY);
    }
    if (!focusCues_ || GetFocus() != focus_) return;
    // Inside the rounded outline of the face, at every size.
    const int inset = area.bottom * 6 / 51;
    InflateRect(&area, -inset, -inset);
    SetTextColor(target.Get(), RGB(0, 0, 0));
    SetBkColor(target.Get(), RGB(255, 255, 255));
    DrawFocusRect(target.Get(), &area);
}

void ImageButton::RepaintFaces() const
{
    for (const HWND member : members_) InvalidateRect(member, nullptr, FALSE);
}

LRESULT ImageButton::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The control id is the window's from its creation on, before the holder's handle is known here.
    return GetDlgCtrlID(window) == focusId_ ? OnFocusMessage(window, message, wParam, lParam)
                                            : OnFaceMessage(window, message, wParam, lParam);
}

LRESULT ImageButton::OnFocusMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        // Keys act for the whole window, which decides what they do.
        ShowFocusCues();
        SendMessageW(parent_, message, wParam, lParam);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        RepaintFaces();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ImageButton::OnFaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        OnFaceClick(window);
        return 0;
    case WM_LBUTTONDBLCLK:
        return 0;
    case WM_ERASEBKGND:
        // The face covers every pixel.
        return 1;
    case WM_PAINT:
        PaintFace(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
