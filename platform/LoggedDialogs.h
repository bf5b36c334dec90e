#pragma once
#include "platform/Dialogs.h"
#include "platform/Log.h"

// Every message the user is shown passes here: its title and text, then the answer, go to the log.
class LoggedDialogs : public Dialogs {
public:
    LoggedDialogs(Dialogs& shown, Log& log) : shown_(shown), log_(log) {}
    int MsgBox(const Text& text, int style, const Text& title) override;

private:
    Dialogs& shown_;
    Log& log_;
};
