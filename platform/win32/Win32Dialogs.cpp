#include "platform/win32/Win32Dialogs.h"

#include "platform/win32/WideText.h"

int Win32Dialogs::MsgBox(const Text& text, int style, const Text& title)
{
    // Owned by the program's active window, so that window takes no clicks while the box is open.
    return MessageBoxW(GetActiveWindow(), Wide(text), Wide(title), static_cast<UINT>(style));
}
