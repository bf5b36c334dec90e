#include "setup/DataFolder.h"

#include "platform/RuntimeError.h"
#include "setup/LocalFolder.h"

Text DataFolderPath(FileSystem& files) { return files.CommonDataFolder() + u"\\MavikSetupWebCD\\"; }

void PrepareDataFolder(FileSystem& files, const Text& folder)
{
    try {
        if (FolderMissing(files, folder)) files.MkDir(folder, AdministratorsOnly);
        // Taken over whoever made it: a folder that a user made first would otherwise stay theirs.
        files.TakeOverFolder(folder, AdministratorsOnly);
    } catch (const RuntimeError&) {
        throw RuntimeError(ErrorNumber::PathFileAccess, u"\"" + folder + u"\" klasörü oluşturulamadı.");
    }
}

Text PreparedLogPath(FileSystem& files)
{
    try {
        const Text folder = DataFolderPath(files);
        PrepareDataFolder(files, folder);
        return folder + LogFileName;
    } catch (const RuntimeError&) {
        return {};
    }
}
