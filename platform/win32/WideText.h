#pragma once
// Text is UTF-16 on every build; on Windows it is the wide-character API's string.
#include "platform/RuntimeError.h"
#include "platform/Text.h"

#include <windows.h>

#include <optional>

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline Text FromWide(const wchar_t* text, std::size_t length)
{
    return Text(reinterpret_cast<const char16_t*>(text), length);
}
inline Text FromWide(const wchar_t* text) { return text ? FromWide(text, wcslen(text)) : Text(); }

// The system's description of a Win32 error code, without the trailing line
// break; a "%1" in it (as in "%1 is not a valid Win32 application.") names subject.
Text SystemErrorText(DWORD error, const Text& subject = u"");

// The one way from a Win32 error code to a RuntimeError: the system's description (subject as in
// SystemErrorText), and the number the caller's contract gives that error, by default the code itself.
RuntimeError Win32Error(DWORD error, std::optional<std::int32_t> number = std::nullopt, const Text& subject = u"");