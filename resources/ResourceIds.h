#pragma once
// Identifiers of the resources in MavikSetupWebCD.rc, shared with the window code.

#define IDI_PROGRAM 101

#define IDB_LOGO 201
#define IDB_BUTTON0 202
#define IDB_BUTTON1 203
#define IDB_BUTTON2 204
#define IDB_BUTTON3 205

#define IDC_POINTING_HAND 301
