#include "platform/win32/Win32Dialogs.h"

#include "platform/win32/WideText.h"

int Win32Dialogs::MsgBox(const Text& text, int style, const Text& title)
{
    // Owned by the program's active window, so that window takes no clicks while the box is open.
    return MessageBoxW(GetActiveWindow(), Wide(text), Wide(title), static_cast<UINT>(style));
}

void Win32EventPump::DoEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
