#pragma once
#include "platform/Platform.h"
#include "setup/SetupState.h"

// The two ways start-up can end up going on.
class StartupRoads {
public:
    virtual ~StartupRoads() = default;
    virtual void InstallPackages() = 0;
    // Loads the download window (its load handler runs now) and shows it modeless.
    virtual void OpenDownloadWindow() = 0;
};

inline const Text RemoteFolder = u"qormavik/websetup/";
inline const Text LocalFolderName = u"\\mavikfiles\\";

// Where the program's own logic begins: administrator check, the claim of
// being the only copy, package plan, and then one of the two roads. Pinned
// packages count as present only when they match.
void Main(SetupState& state, Platform& platform, StartupRoads& roads, const Text& baseUrl,
          const PackagePins& pins);
