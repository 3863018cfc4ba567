// The main dialog's fonts at a given DPI: the template's face for its buttons
// and drop-down, and the text font of the folder box and both lists, chosen so
// that every character of a line, "_" included, is drawn inside the line.
#pragma once
#include <windows.h>

namespace quillet {

// The template's face ("ＭＳ ゴシック", 9 points) at dpi.
HFONT make_dialog_font(int dpi);
// The font of the folder box and the lists: the face and size of base, the
// nearest size (within three pixels) whose "_" is drawn inside the line box,
// and fixed-pitch, so that the columns of the status lines stay aligned. When
// the face has no such size, any fixed-pitch face at base's size.
HFONT make_text_font(const LOGFONTW& base);
// True when font draws "_" inside its line box (the rows 0 to height - 1 of a
// line): some stand-in faces drop the stroke at some sizes.
bool draws_underscore_inside(HFONT font);

}  // namespace quillet
