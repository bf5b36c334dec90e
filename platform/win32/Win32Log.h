#pragma once
#include "platform/Log.h"

#include <windows.h>

// Appends each line to a file, which is opened for that line alone, so that another program
// (or a second run) can read, move or delete it at any time. The file lies in a folder that only
// administrators can change, so no link there redirects what is written or moved.
class Win32Log : public Log {
public:
    explicit Win32Log(Text path) : path_(std::move(path)), backupPath_(path_ + u".1") {}
    void Write(const Text& line) noexcept override;

private:
    void Append(const std::string& record);

    const Text path_;
    const Text backupPath_;
    // The download's worker and the window's thread both write.
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// The program's version, the Windows version, and the bitness of the process and of the machine.
Text ProgramAndSystemDescription();
