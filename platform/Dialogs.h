#pragma once
#include "platform/Text.h"

namespace MsgBoxStyle {
constexpr int OkOnly = 0;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
}

namespace MsgBoxResult {
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
}

inline const Text ProgramTitle = u"MavikWebSetup";

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal message box owned by the active window of the program, if any.
    virtual int MsgBox(const Text& text, int style, const Text& title = ProgramTitle) = 0;
};
