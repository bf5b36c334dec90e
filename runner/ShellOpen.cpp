#include "runner/ShellOpen.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::int32_t ShowHidden = 0;   // SW_HIDE

// 0x80040418: the number of a shell failure that has no number of its own, plus its code.
constexpr std::int32_t ShellErrorBase = -2147220456;

const Text GeneralFailure = u"An error occurred occurred whilst trying to open or print the selected file.";

struct Translation {
    std::intptr_t code;
    std::optional<std::int32_t> number;
    const char16_t* message;
};

const std::array<Translation, 13> Translations{{
    {0, 7, u"Out of memory"},
    {2, 53, u"File not found"},
    {3, 76, u"Path not found"},
    {5, 75, u"Path/file access error"},
    {8, 7, u"Out of memory"},
    {11, std::nullopt, u"The executable file is invalid or corrupt"},
    {26, 75, u"A sharing violation occurred."},
    {27, std::nullopt, u"This file type does not have a valid file association."},
    {28, 286, u"The file could not be opened due to time out. Please try again in a moment."},
    {29, 285, u"The file could not be opened because the DDE transaction failed. Please try again in a moment."},
    {30, 285, u"The file could not be opened because the target application is busy. Please try again in a moment."},
    {31, std::nullopt, u"No application is associated with this file type."},
    {32, 48, u"The specified dynamic-link library was not found."},
}};

// code lies between 0 and 32.
RuntimeError Translated(std::intptr_t code, const Text& ownName)
{
    std::int32_t number = ShellErrorBase + static_cast<std::int32_t>(code);
    Text message = GeneralFailure;
    const auto row = std::find_if(Translations.begin(), Translations.end(),
                                  [code](const Translation& candidate) { return candidate.code == code; });
    if (row != Translations.end()) {
        number = row->number.value_or(number);
        message = row->message;
    }
    return RuntimeError(number, message, ownName + u".GShell");
}

} // namespace

bool ShellOpen(Platform& platform, const Text& path, std::int32_t showCommand, WindowHandle ownerWindow,
               std::optional<RuntimeError>* translatedError)
{
    // Whatever an executable does, it is not to be shown by this call.
    if (ToUpper(path).find(u".EXE") != Text::npos) showCommand = ShowHidden;

    const std::intptr_t code = platform.processes.ShellExecute(ownerWindow, u"", path, u"", u"", showCommand);
    const bool accepted = code < 0 || code > 32;
    if (translatedError) {
        if (accepted)
            translatedError->reset();
        else
            translatedError->emplace(Translated(code, platform.files.OwnName()));
    }
    return accepted;
}
