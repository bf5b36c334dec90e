#pragma once
// How the steps of a transfer end it early; the finish step reports the reason.
#include "download/StatusLines.h"

#include <cstdint>
#include <limits>

struct TransferFailed {
    Text reason;
    // Only the network let us down: what has been received stays good, and trying again may help.
    bool networkOnly = false;
};

// A cancel (or a close) confirmed while the transfer waited for the network.
struct TransferCancelled {};

[[noreturn]] inline void Fail(const Text& reason) { throw TransferFailed{reason, false}; }
[[noreturn]] inline void FailNetwork(const Text& reason) { throw TransferFailed{reason, true}; }

// The counters are 32-bit and the percentage 16-bit: a value beyond them is an overflow.
template <typename Narrow>
Narrow Checked(std::int64_t value)
{
    if (value < std::numeric_limits<Narrow>::min() || value > std::numeric_limits<Narrow>::max())
        Fail(FailureReason::TooBig);
    return static_cast<Narrow>(value);
}
