#pragma once
// Everything the program's logic may ask of the machine, in one bundle that
// the program builds from the real Win32 side and the tests from fakes.
#include "platform/CodeSignatures.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/Hashing.h"
#include "platform/Internet.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/Processes.h"
#include "platform/SettingsStore.h"
#include "platform/SingleInstance.h"
#include "platform/Worker.h"

struct Platform {
    FileSystem& files;
    Dialogs& dialogs;
    EventPump& events;
    MachineInfo& machine;
    SettingsStore& settings;
    Internet& internet;
    Processes& processes;
    Clock& clock;
    SingleInstance& instance;
    Hashing& hashing;
    CodeSignatures& signatures;
    Worker& worker;
    Log& log;
};
