// The library's own button bitmaps by resource id: the frame templates 100 and 101 (five 22 x 22
// cells, magenta transparent) and the drop arrow 105 (purple transparent).
#pragma once

#include <QImage>

#include "platform/ui/WinDefs.h"

// The built-in media picture ":/<module>/bitmap_<id>.bmp" when there is one (an empty module:
// Pavlet's), else the library's drawn bitmap of that id; a null image for an unknown id.
QImage LoadFlexBitmap(UINT id, const char* module = nullptr);
