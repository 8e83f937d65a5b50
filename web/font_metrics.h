// Advance widths and sizes of the window's bitmap fonts, for texts drawn with other glyphs.
#pragma once

#include "render/primitives.h"

// The printable ASCII bytes: the ones the page draws a glyph for.
constexpr unsigned char FIRST_GLYPH = 33;
constexpr unsigned char LAST_GLYPH = 126;

// Pixels the pen moves on after the byte in the font (the font's own table).
int glyphAdvance(TextFont font, unsigned char byte);
// The font's pixel size (12, 18, 24).
int fontPixelSize(TextFont font);
