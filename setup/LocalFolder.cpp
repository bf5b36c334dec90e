#include "setup/LocalFolder.h"

#include "platform/RuntimeError.h"

bool FolderMissing(FileSystem& files, const Text& folder)
{
    switch (files.KindOf(folder)) {
    case EntryKind::Missing: return true;
    case EntryKind::Folder: return false;
    case EntryKind::ReparsePoint:
    case EntryKind::File: break;
    }
    throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
}

void PrepareLocalFolder(FileSystem& files, const Text& folder)
{
    if (FolderMissing(files, folder)) files.MkDir(folder);
    files.HoldFolder(folder);
}
