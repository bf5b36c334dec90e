#pragma once
// The program ends once start-up has returned and none of its top-level
// windows is loaded any more. Every top-level window class of the program
// calls Loaded in WM_CREATE and Unloaded in WM_NCDESTROY.
namespace LoadedWindows {
void Loaded();
void Unloaded();
int Count();
}
