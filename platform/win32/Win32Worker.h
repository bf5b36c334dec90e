#pragma once
#include "platform/Worker.h"

// Each thread waits for the jobs its owner hands it, one at a time, until Join lets it end.
class Win32Worker : public Worker {
public:
    std::unique_ptr<WorkerThread> NewThread() override;
};
