// The browser edition's advance widths against GLUT's own: every byte of the three window
// fonts advances the pen as glutBitmapWidth says (GLUT needs its window for that).
#include "gl_support.h"
#include "web/font_metrics.h"

TEST(FontMetrics, EveryByteAdvancesAsGlutBitmapWidthSays)
{
    gltest::ensureWindow();
    const struct {
        TextFont font;
        void* glut;
        int size;
    } fonts[] = {{FONT_HELVETICA_12, GLUT_BITMAP_HELVETICA_12, 12},
                 {FONT_HELVETICA_18, GLUT_BITMAP_HELVETICA_18, 18},
                 {FONT_TIMES_ROMAN_24, GLUT_BITMAP_TIMES_ROMAN_24, 24}};
    for (const auto& f : fonts) {
        EXPECT_EQ(fontPixelSize(f.font), f.size);
        for (int c = 0; c < 256; ++c)
            EXPECT_EQ(glyphAdvance(f.font, static_cast<unsigned char>(c)), glutBitmapWidth(f.glut, c))
                << "font " << f.size << " byte " << c;
    }
}
