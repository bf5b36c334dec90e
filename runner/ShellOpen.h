#pragma once
#include "platform/Platform.h"
#include "platform/RuntimeError.h"

#include <cstdint>
#include <optional>

// Hands the document at path to the shell for its type's default action and
// does not wait for the application that opens it. True when the shell took
// it; otherwise false, with the shell's failure code translated into a
// numbered error in *translatedError when one is asked for. Never raises.
bool ShellOpen(Platform& platform, const Text& path, std::int32_t showCommand, WindowHandle ownerWindow,
               std::optional<RuntimeError>* translatedError = nullptr);
