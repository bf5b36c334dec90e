#include "platform/win32/Win32EventPump.h"

#include "platform/win32/LoadedWindows.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowPlumbing.h"

#include <cmath>
#include <limits>

namespace {

constexpr wchar_t WakeClass[] = L"MavikWebSetup.Wake";
constexpr UINT WakeMessage = WM_APP;

double Now() { return static_cast<double>(GetTickCount64()) / 1000.0; }

DWORD MillisecondsUntil(double due)
{
    const double left = due - Now();
    if (left <= 0) return 0;
    return left * 1000 >= INFINITE ? INFINITE : static_cast<DWORD>(std::ceil(left * 1000));
}

} // namespace

Win32EventPump::Win32EventPump()
{
    // Made for no object: its wake message has done its work once it has woken the loop.
    RegisterWindowClass(WakeClass, nullptr);
    wakeWindow_ = UniqueWindow(CreateWindowExW(0, WakeClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                               GetModuleHandleW(nullptr), nullptr));
    if (!wakeWindow_) throw Win32Error(GetLastError());
}

bool Win32EventPump::DispatchPending()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

void Win32EventPump::DoEvents() { DispatchPending(); }

void Win32EventPump::WaitForEvents()
{
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

// An installer that broadcasts with SendMessage (WM_SETTINGCHANGE after it has changed the
// environment) waits until our windows have answered.
void Win32EventPump::ServeSentMessages(double seconds)
{
    const double due = Now() + seconds;
    while (MsgWaitForMultipleObjects(0, nullptr, FALSE, MillisecondsUntil(due), QS_SENDMESSAGE) == WAIT_OBJECT_0) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void Win32EventPump::Wake()
{
    if (!woken_.exchange(true)) PostMessageW(wakeWindow_.Get(), WakeMessage, 0, 0);
}

void Win32EventPump::RunUntilNoneLoaded()
{
    double due = std::numeric_limits<double>::infinity();
    while (LoadedWindows::Count() > 0) {
        if (!DispatchPending()) return;
        if (LoadedWindows::Count() == 0) return;
        if (work_ && (woken_.exchange(false) || Now() >= due)) {
            // A step that finds nothing to do asks for no other; a wake or an event brings the next.
            due = Now() + work_->Step();
            continue;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, work_ ? MillisecondsUntil(due) : INFINITE, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}
