// Shared helpers of the GL tests: one GLUT window on the virtual display, pixel read-back.
// Sets up the window once per test binary; the tests read the back buffer before any swap.
#pragma once

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app/window.h"

namespace gltest {

struct Rgb {
    int r, g, b;
};

inline bool same(Rgb a, Rgb b, int tol = 0)
{
    return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}

constexpr Rgb WHITE{255, 255, 255};
constexpr Rgb BLACK{0, 0, 0};
constexpr Rgb RED{255, 0, 0};
constexpr Rgb BLUE{0, 0, 255};
constexpr Rgb GREEN{0, 255, 0};
constexpr Rgb YELLOW{255, 255, 0};
constexpr Rgb NEAR_BLACK{10, 10, 10};  // 0.04 of 255

inline void noDisplay() {}

// Pumps GLUT events until the window has the given size (bounded wait).
inline bool waitForSize(int w, int h)
{
    for (int i = 0; i < 200; ++i) {
        glutMainLoopEvent();
        if (glutGet(GLUT_WINDOW_WIDTH) == w && glutGet(GLUT_WINDOW_HEIGHT) == h) return true;
        usleep(10000);
    }
    return false;
}

// The test window: 800 x 800, the program's display mode, reshape callback and
// clear colour. Created on first use; later calls bring it back to the size asked.
inline void ensureWindow(int w = 800, int h = 800)
{
    static bool created = false;
    if (!created) {
        static int argc = 1;
        static char name[] = "render_tests";
        static char* argv[] = {name, nullptr};
        glutInitWindowSize(800, 800);
        glutInit(&argc, argv);
        glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
        glutCreateWindow("render tests");
        glutDisplayFunc(noDisplay);
        glutReshapeFunc(reshapeWindow);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        created = true;
        waitForSize(800, 800);
    }
    if (glutGet(GLUT_WINDOW_WIDTH) != w || glutGet(GLUT_WINDOW_HEIGHT) != h) {
        glutReshapeWindow(w, h);
        waitForSize(w, h);
    }
    reshapeWindow(w, h);
}

// The back buffer as RGB bytes, rows from the bottom (GL order).
struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> px;

    // Pixel at column x, row y counted from the bottom.
    Rgb at(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= w || y >= h) return WHITE;
        const size_t i = (static_cast<size_t>(y) * w + x) * 3;
        return {px[i], px[i + 1], px[i + 2]};
    }
    // Pixel containing the window point (wx, wy), −1 … +1.
    Rgb atWindow(double wx, double wy) const { return at(colOf(wx), rowOf(wy)); }
    int colOf(double wx) const { return static_cast<int>(std::floor((wx + 1.0) / 2.0 * w)); }
    int rowOf(double wy) const { return static_cast<int>(std::floor((wy + 1.0) / 2.0 * h)); }
    // Window point of the centre of pixel (x, y).
    double wxOf(int x) const { return (x + 0.5) / w * 2.0 - 1.0; }
    double wyOf(int y) const { return (y + 0.5) / h * 2.0 - 1.0; }
    int count(Rgb c, int tol = 0) const
    {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (same(at(x, y), c, tol)) ++n;
        return n;
    }
};

inline Image readBack()
{
    Image img;
    img.w = glutGet(GLUT_WINDOW_WIDTH);
    img.h = glutGet(GLUT_WINDOW_HEIGHT);
    img.px.resize(static_cast<size_t>(img.w) * img.h * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, img.w, img.h, GL_RGB, GL_UNSIGNED_BYTE, img.px.data());
    return img;
}

}  // namespace gltest
