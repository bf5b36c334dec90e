#pragma once
// All fakes in one bundle, handed to the logic as its Platform.
#include "platform/Platform.h"
#include "tests/fakes/FakeCodeSignatures.h"
#include "tests/fakes/FakeDialogs.h"
#include "tests/fakes/FakeEventPump.h"
#include "tests/fakes/FakeFileSystem.h"
#include "tests/fakes/FakeHashing.h"
#include "tests/fakes/FakeInternet.h"
#include "tests/fakes/FakeLog.h"
#include "tests/fakes/FakeMachineInfo.h"
#include "tests/fakes/FakeProcesses.h"
#include "tests/fakes/FakeSettingsStore.h"
#include "tests/fakes/FakeSingleInstance.h"
#include "tests/fakes/FakeWorker.h"

struct FakePlatform {
    FakeFileSystem files;
    FakeDialogs dialogs;
    FakeEventPump events;
    FakeMachineInfo machine;
    FakeSettingsStore settings;
    FakeInternet internet;
    FakeProcesses processes;
    FakeClock clock;
    FakeSingleInstance instance;
    FakeHashing hashing;
    FakeCodeSignatures signatures{files};
    FakeWorker worker;
    FakeLog log;
    Platform platform{files, dialogs, events, machine, settings, internet, processes, clock, instance, hashing,
                      signatures, worker, log};
};
