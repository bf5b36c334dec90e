#pragma once
#include "platform/FileSystem.h"

// Whether the folder at path has to be made: false for a plain folder there. Raises RuntimeError
// when a junction, symbolic link or file stands there: the program never works through one.
bool FolderMissing(FileSystem& files, const Text& folder);

// Creates the local folder when nothing stands under its name and holds it for the rest of the run.
// It keeps the access list it has or inherits: it is the user's download cache, and nothing runs
// from it. Raises RuntimeError when a junction, symbolic link or file stands there.
void PrepareLocalFolder(FileSystem& files, const Text& folder);
