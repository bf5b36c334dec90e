#pragma once
#include "platform/Log.h"

#include <vector>

class FakeLog : public Log {
public:
    std::vector<Text> lines;
    void Write(const Text& line) noexcept override { lines.push_back(line); }
};
