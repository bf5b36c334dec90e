#pragma once
// The program's own folder in the machine's common data folder (ProgramData): only the system and
// the administrators may change it, the interactive user may read it. It holds the support log and
// the folders the packages start from.
#include "platform/FileSystem.h"

inline const ProtectedAccess AdministratorsOnly = {
    {Trustee::System, Access::FullControl},
    {Trustee::Administrators, Access::FullControl},
    {Trustee::InteractiveUser, Access::ReadAndExecute},
};

inline const Text LogFileName = u"MavikSetupWebCD.log";

// "<ProgramData>\MavikSetupWebCD\"; raises RuntimeError.
Text DataFolderPath(FileSystem& files);

// Creates the data folder with AdministratorsOnly, or takes over the folder that stands there (an
// earlier run's, or one that someone else made first), and holds it for the rest of the run. Raises
// RuntimeError, with "<folder>" klasörü oluşturulamadı. as description, when it cannot: without
// administrator rights, or when a junction, symbolic link or file stands there.
void PrepareDataFolder(FileSystem& files, const Text& folder);

// The support log's path in the prepared data folder, or "" when the folder cannot be prepared.
Text PreparedLogPath(FileSystem& files);
