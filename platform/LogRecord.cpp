#include "platform/LogRecord.h"

#include <cstdio>

std::string LogRecord(const LocalTime& time, TextView line)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.millisecond);
    std::string record = stamp;
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
