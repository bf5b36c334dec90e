#pragma once
// Identifiers of the resources in MavikSetupWebCD.rc, shared with the window code.

// winuser.h names the system's hand cursor IDC_HAND; ours replaces it. Including
// windows.h first means its include guard keeps a later include from undoing that.
#include <windows.h>

#define IDI_PROGRAM 101

#define IDB_LOGO 201
#define IDB_BUTTON0 202
#define IDB_BUTTON1 203
#define IDB_BUTTON2 204
#define IDB_BUTTON3 205

#undef IDC_HAND
#define IDC_HAND 301
