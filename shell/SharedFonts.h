// The five fonts that start-up creates once and every dialog and panel shares.
#pragma once

#include "platform/ui/WinDefsDraw.h"

class CFont;

namespace shell {

enum class SharedFont {
    kTitle,        // login dialog, screen lock, About box: "黑体" -18, weight 500
    kListText,     // "宋体" -12
    kLargeLabel,   // "黑体" -16, weight 500
    kLargeFigure,  // "Arial" -16, bold
    kFigure,       // "Arial" -14, bold
};

// The font's fixed description (every other field zero).
LOGFONT SharedFontDescription(SharedFont which);
// Creates the five fonts in the order above; a font created already is kept. User-interface
// thread.
void CreateSharedFonts();
// The font, or null before CreateSharedFonts and after it was released.
CFont* GetSharedFont(SharedFont which);
// Deletes the title and list-text fonts at exit; the other three live until the process ends.
void ReleaseExitFonts();

}  // namespace shell
