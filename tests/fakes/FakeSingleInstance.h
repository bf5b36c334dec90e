#pragma once
#include "platform/SingleInstance.h"

class FakeSingleInstance : public SingleInstance {
public:
    bool otherCopyRuns = false;
    int claims = 0;

    bool ClaimSoleCopy() override
    {
        ++claims;
        return !otherCopyRuns;
    }
};
