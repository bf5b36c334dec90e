#pragma once
#include "platform/SingleInstance.h"
#include "platform/win32/UniqueHandle.h"

// A named mutex in the session's own namespace; held until this object goes.
class Win32SingleInstance : public SingleInstance {
public:
    bool ClaimSoleCopy() override;

private:
    UniqueHandle mutex_;
};
