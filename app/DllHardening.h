#pragma once
// Called first thing: DLLs are then looked up in the system folder only, never
// beside the program (people start it from their Downloads folder as administrator).
void RestrictDllSearchToSystemFolder();
