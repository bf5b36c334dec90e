#include "platform/win32/WideText.h"

Text SystemErrorText(DWORD error, const Text& subject)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    Text text = length ? FromWide(buffer, length) : u"Error " + DecimalText(error);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' '))
        text.pop_back();
    // Inserts are not expanded by the system call: it would read arguments it was never given.
    for (auto at = text.find(u"%1"); at != Text::npos; at = text.find(u"%1", at + subject.size()))
        text.replace(at, 2, subject);
    return text;
}

RuntimeError Win32Error(DWORD error, std::optional<std::int32_t> number, const Text& subject)
{
    return RuntimeError(number.value_or(static_cast<std::int32_t>(error)), SystemErrorText(error, subject));
}
