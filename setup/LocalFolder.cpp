#include "setup/LocalFolder.h"

#include "platform/RuntimeError.h"

void PrepareLocalFolder(FileSystem& files, const Text& folder)
{
    switch (files.KindOf(folder)) {
    case EntryKind::Missing:
        files.MkDir(folder, LocalFolderAccess);
        break;
    case EntryKind::Folder:
        break;
    case EntryKind::ReparsePoint:
    case EntryKind::File:
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    }
    // A folder left by an earlier version has its parent's access list: it is taken over too.
    files.HoldFolder(folder, LocalFolderAccess);
}
