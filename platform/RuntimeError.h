#pragma once
// A failing operation raises a numbered error with a description; the
// nearest handler up the call chain decides what the user sees.
#include "platform/Text.h"

#include <cstdint>
#include <exception>

namespace ErrorNumber {
constexpr std::int32_t InvalidProcedureCall = 5;
constexpr std::int32_t Overflow = 6;
constexpr std::int32_t SubscriptOutOfRange = 9;
constexpr std::int32_t TypeMismatch = 13;
constexpr std::int32_t FileNotFound = 53;
constexpr std::int32_t PathFileAccess = 75;
constexpr std::int32_t PathNotFound = 76;
// The program's own errors, numbered after vbObjectError + 1000.
constexpr std::int32_t FileNotVerified = static_cast<std::int32_t>(0x800403E9);
}

class RuntimeError : public std::exception {
public:
    RuntimeError(std::int32_t number, Text description, Text source = {})
        : number_(number), description_(std::move(description)), source_(std::move(source)) {}

    std::int32_t Number() const { return number_; }
    const Text& Description() const { return description_; }
    const Text& Source() const { return source_; }
    const char* what() const noexcept override { return "RuntimeError"; }

private:
    std::int32_t number_;
    Text description_;
    Text source_;
};
