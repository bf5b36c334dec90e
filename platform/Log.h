#pragma once
#include "platform/Text.h"

// The support log: one line per event. Callable from any thread; never raises, and a log
// that cannot be written drops the line, so that logging never changes what the program does.
class Log {
public:
    virtual ~Log() = default;
    virtual void Write(const Text& line) noexcept = 0;
};
