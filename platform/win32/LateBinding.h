#pragma once
// Binding of the functions in LateBoundFunctions.h: each import slot first holds a stub that binds
// the function from the system folder, stores it in the slot and calls it; later calls go straight
// to the function.

enum class SystemDll { User32, Gdi32, Shell32, Ole32, OleAut32, Advapi32, Crypt32 };

// The function's address in the DLL, loaded from the system folder once and kept until the process
// ends. Ends the process with a message naming both when either is missing: the program cannot go
// on without a function it calls.
void* BindSystemFunction(SystemDll dll, const char* function);
