#pragma once
// How a line is stored in the log file, and when the file makes way for a new one.
#include "platform/Text.h"

#include <cstdint>
#include <string>

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};

// The file is renamed to the one backup before it would grow past this.
constexpr std::uint64_t LogSizeLimit = 1024 * 1024;

// "2026-12-07 17:30:01.123 " and the line, as UTF-8, ended by CR LF; the line's own breaks
// become single blanks.
std::string LogRecord(const LocalTime& time, TextView line);

// True when appending a record of this size would take a non-empty file past the limit.
bool LogNeedsNewFile(std::uint64_t fileSize, std::uint64_t recordSize);
