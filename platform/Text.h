#pragma once
// Strings are sequences of UTF-16 code units, as on Windows, on every build.
#include <cstdint>
#include <string>
#include <string_view>

using Text = std::u16string;
using TextView = std::u16string_view;

Text FromUtf8(std::string_view utf8);
std::string ToUtf8(TextView text);

// Letter case as the Windows shell folds it for the characters we compare
// (ASCII, Latin-1 and the Turkish letters); other units pass unchanged.
Text ToLower(TextView text);
Text ToUpper(TextView text);

Text DecimalText(std::int64_t value);
Text WithoutChar(TextView text, char16_t removed);
bool EndsWith(TextView text, TextView suffix);
