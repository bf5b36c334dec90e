#pragma once
#include "platform/FileSystem.h"

// The packages in the local folder run with administrator rights: only the system and the
// administrators may change what is in it; the interactive user may read and run it.
inline const ProtectedAccess LocalFolderAccess = {
    {Trustee::System, Access::FullControl},
    {Trustee::Administrators, Access::FullControl},
    {Trustee::InteractiveUser, Access::ReadAndExecute},
};

// Creates the local folder when nothing stands under its name, gives it LocalFolderAccess and
// holds it for the rest of the run. Raises RuntimeError when a junction, symbolic link or file
// stands there: the program never works through one.
void PrepareLocalFolder(FileSystem& files, const Text& folder);
