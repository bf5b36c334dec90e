#pragma once
// Identifiers of the resources in MavikSetupWebCD.rc, shared with the window code.

#define IDI_PROGRAM 101

// PNG images (RCDATA), each drawn at the four scales of ArtworkScales: the image of
// scale index k has the id of its 100 % image plus k.
#define IDP_LOGO 210
#define IDP_BUTTON0 220
#define IDP_BUTTON1 230
#define IDP_BUTTON2 240
#define IDP_BUTTON3 250

#define IDC_POINTING_HAND 301
