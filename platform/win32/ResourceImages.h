#pragma once
// Pictures of the program's resources at the pixel size a window needs.
#include "platform/win32/GdiObjects.h"

// The icon image nearest to size × size pixels; null when the icon cannot be loaded.
UniqueIcon IconResource(int id, int size);
// A PNG image kept as RCDATA, as a 24-bit bitmap of exactly size: scaled smoothly when it was
// drawn at another size. Null when it cannot be decoded.
UniqueBitmap PngResource(int id, SIZE size);
