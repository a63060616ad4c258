// How LOGFONT descriptions become installed fonts: face-name substitution onto the CJK fonts
// of the machine, and the Win32 height rules (negative = character height, positive = cell
// height, in pixels at the fixed 96 dpi).
#pragma once

#include <QFont>
#include <string>

#include "platform/ui/WinDefsDraw.h"

namespace platform::ui {

// The installed family that stands for a face name: the face itself when installed, else the
// first installed font of its substitution list (CJK sans for "宋体", "黑体", "MS Sans Serif",
// "Arial" and other proportional faces; a monospaced font for fixed-pitch faces).
std::string MapFaceName(const std::string& faceName, bool fixedPitch = false);

// The Qt font of a LOGFONT (height 0 takes the default of 12 pixels character height).
QFont FontFromLogFont(const LOGFONT& logFont);

// Pixel size (em height) that gives the family the requested cell height.
int PixelSizeForCellHeight(const QFont& font, int cellHeight);

// Fills a LOGFONT (face name cut to fit on a character boundary).
void SetLogFontFace(LOGFONT* logFont, const std::string& faceName);

}  // namespace platform::ui
