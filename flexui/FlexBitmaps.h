// The library's own button bitmaps by resource id: the frame templates 100 and 101 (five 22 x 22
// cells, magenta transparent) and the drop arrow 105 (purple transparent).
#pragma once

#include <QImage>

#include "platform/ui/WinDefsTypes.h"

// The built-in media picture ":/<module>/bitmap_<id>.bmp" when there is one (an empty module:
// Pavlet's), else the library's drawn bitmap of that id; a null image for an unknown id.
QImage LoadFlexBitmap(UINT id, const char* module = nullptr);

class CImageList;

// Fills an image list with cx x cy cells cut from the library's bitmap of that id, the pixels
// of `maskColor` transparent; FALSE when the bitmap is missing or the list cannot be made.
BOOL LoadFlexImageList(CImageList& list, UINT id, int cx, int cy, COLORREF maskColor);
