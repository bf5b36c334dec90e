#pragma once
#include "platform/Dialogs.h"

class Win32Dialogs : public Dialogs {
public:
    int MsgBox(const Text& text, int style, const Text& title) override;
};
