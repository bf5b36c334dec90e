#include "platform/LogRecord.h"

namespace {

// value in exactly `digits` decimal digits, with leading zeros. Written out by hand: the C
// runtime's formatted printing would more than double what the log adds to the exe.
void AppendDigits(std::string& text, int value, int digits)
{
    std::string field(static_cast<std::size_t>(digits), '0');
    for (auto at = field.rbegin(); at != field.rend() && value > 0; ++at, value /= 10)
        *at = static_cast<char>('0' + value % 10);
    text += field;
}

} // namespace

std::string LogRecord(const LocalTime& time, TextView line)
{
    // Each field with its width and the character after it.
    const struct {
        int value;
        int digits;
        char after;
    } stamp[] = {{time.year, 4, '-'},   {time.month, 2, '-'},  {time.day, 2, ' '},         {time.hour, 2, ':'},
                 {time.minute, 2, ':'}, {time.second, 2, '.'}, {time.millisecond, 3, ' '}};
    std::string record;
    for (const auto& field : stamp) {
        AppendDigits(record, field.value, field.digits);
        record += field.after;
    }
    // A line break inside the line would split its event in two.
    for (const char byte : ToUtf8(line)) {
        const bool lineBreak = byte == '\r' || byte == '\n';
        if (!lineBreak) record.push_back(byte);
        else if (record.back() != ' ') record.push_back(' ');
    }
    return record + "\r\n";
}

bool LogNeedsNewFile(std::uint64_t fileSize, std::uint64_t recordSize)
{
    return fileSize > 0 && fileSize + recordSize > LogSizeLimit;
}
