#include "platform/Text.h"

namespace {

char16_t LowerUnit(char16_t c)
{
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
    switch (c) {
    case 0x0130: return u'i';      // İ
    case 0x011E: return 0x011F;    // Ğ
    case 0x015E: return 0x015F;    // Ş
    default: return c;
    }
}

char16_t UpperUnit(char16_t c)
{
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);
    switch (c) {
    case 0x0131: return u'I';      // ı
    case 0x011F: return 0x011E;
    case 0x015F: return 0x015E;
    default: return c;
    }
}

template <typename Fold>
Text Folded(TextView text, Fold fold)
{
    Text result(text);
    for (auto& unit : result) unit = fold(unit);
    return result;
}

} // namespace

Text ToLower(TextView text) { return Folded(text, LowerUnit); }
Text ToUpper(TextView text) { return Folded(text, UpperUnit); }

Text FromUtf8(std::string_view utf8)
{
    Text out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        std::uint32_t code = byte;
        int extra = 0;
        if (byte >= 0xF0) { code = byte & 0x07; extra = 3; }
        else if (byte >= 0xE0) { code = byte & 0x0F; extra = 2; }
        else if (byte >= 0xC0) { code = byte & 0x1F; extra = 1; }
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

std::string ToUtf8(TextView text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size()) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

Text DecimalText(std::int64_t value)
{
    auto ascii = std::to_string(value);
    return Text(ascii.begin(), ascii.end());
}

Text WithoutChar(TextView text, char16_t removed)
{
    Text result;
    for (auto unit : text)
        if (unit != removed) result.push_back(unit);
    return result;
}

bool EndsWith(TextView text, TextView suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
