#include "app/BaseUrl.h"
#include "app/DllHardening.h"
#include "app/PackagePins.h"
#include "app/ProgramRoads.h"
#include "download/win32/Win32Internet.h"
#include "platform/win32/ComPtr.h"
#include "platform/win32/LoadedWindows.h"
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Hashing.h"
#include "platform/win32/Win32MachineInfo.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32SettingsStore.h"
#include "platform/win32/Win32SingleInstance.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    RestrictDllSearchToSystemFolder();
    ComApartment com;

    Win32FileSystem files;
    Win32Dialogs dialogs;
    Win32EventPump events;
    Win32MachineInfo machine;
    Win32SettingsStore settings;
    Win32Internet internet;
    Win32Processes processes;
    Win32Clock clock;
    Win32SingleInstance instance;
    Win32Hashing hashing;
    Platform platform{files, dialogs, events, machine, settings, internet, processes, clock, instance, hashing};

    SetupState state;
    ProgramRoads roads(state, platform);
    Main(state, platform, roads, BaseUrl, CompiledPackagePins);
    LoadedWindows::RunUntilNoneLoaded();
    return 0;
}
