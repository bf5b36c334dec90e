#include "app/BaseUrl.h"
#include "app/DllHardening.h"
#include "app/PackagePins.h"
#include "app/ProgramRoads.h"
#include "download/win32/Win32Internet.h"
#include "platform/LoggedDialogs.h"
#include "platform/win32/ComPtr.h"
#include "platform/win32/LoadedWindows.h"
#include "platform/win32/Win32CodeSignatures.h"
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32EventPump.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Log.h"
#include "platform/win32/Win32Hashing.h"
#include "platform/win32/Win32MachineInfo.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32SettingsStore.h"
#include "platform/win32/Win32SingleInstance.h"
#include "platform/win32/Win32Worker.h"
#include "setup/DataFolder.h"
#include "setup/ExitCodes.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    RestrictDllSearchToSystemFolder();
    ComApartment com;

    Win32FileSystem files;
    // The log lies where only administrators can change it; a run without their rights logs nothing.
    Win32Log log(PreparedLogPath(files));
    log.Write(ProgramAndSystemDescription());

    Win32Dialogs shownDialogs;
    LoggedDialogs dialogs(shownDialogs, log);
    Win32EventPump events;
    Win32MachineInfo machine;
    Win32SettingsStore settings;
    // The build's MAVIK_STALL_TIMEOUT_S.
    Win32Internet internet(MAVIK_STALL_TIMEOUT_S);
    Win32Processes processes;
    Win32Clock clock;
    Win32SingleInstance instance;
    Win32Hashing hashing;
    Win32CodeSignatures signatures;
    Win32Worker worker;
    Platform platform{files, dialogs, events, machine, settings, internet, processes, clock, instance, hashing,
                      signatures, worker, log};

    SetupState state;
    ProgramRoads roads(state, platform);
    Main(state, platform, roads, BaseUrl, CompiledPackagePins);
    events.RunUntilNoneLoaded();
    log.Write(ExitCodeLine(state.Outcome));
    log.Write(u"End");
    return static_cast<int>(state.Outcome);
}
