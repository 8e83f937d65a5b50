// The graphics window: creation, callbacks, the UTF-8 title and the display routine.
// Reads the whole state through the frame; the only module that talks to GLUT's window.
#include "app/window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "planner/keys.h"
#include "render/frame.h"

namespace {

// Free memory kept at the top of the heap before any is returned [bytes]: above
// the renderer's per-frame scratch memory with a margin of two.
constexpr int KEPT_HEAP_BYTES = 64 * 1024 * 1024;

constexpr int WINDOW_SIZE = 800;  // [px], both ways

const char* const WINDOW_TITLE =
    "u:XY加速度，k:CP曲線 変更，W,w:画面拡大縮小，x,X,y,Y:左右上下移動，0:初期へ，s:継続, "
    "t:dt１つ戻る，r:切り替え，c:切り替え, f:最終軌道へ";

// freeglut hands the title to the window system as a Latin-1 WM_NAME, which
// garbles Japanese. The window gets its title again here: _NET_WM_NAME in
// UTF-8 for current window managers and WM_NAME as compound text for older ones.
void setUtf8Title(const char* title)
{
    Display* dpy = glXGetCurrentDisplay();
    const GLXDrawable win = glXGetCurrentDrawable();
    if (dpy == nullptr || win == 0) return;

    const Atom netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    XChangeProperty(dpy, win, netWmName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));

    char* list[1] = {const_cast<char*>(title)};
    XTextProperty prop;
    if (Xutf8TextListToTextProperty(dpy, list, 1, XCompoundTextStyle, &prop) == Success) {
        XSetWMName(dpy, win, &prop);
        XFree(prop.value);
    }
    XFlush(dpy);
}

// The connection opened by displayAvailable. It stays open until GLUT has its
// own: an X server that has lost its last client resets itself (Xvfb does by
// default), and a connection attempted during that reset fails.
Display* probeDisplay = nullptr;

void closeProbeDisplay()
{
    if (probeDisplay == nullptr) return;
    XCloseDisplay(probeDisplay);
    probeDisplay = nullptr;
}

}  // namespace

bool displayAvailable()
{
    if (probeDisplay != nullptr) return true;
    probeDisplay = XOpenDisplay(nullptr);
    if (probeDisplay == nullptr) {
        std::fprintf(stderr, "cptoc: 画面(X display)に接続できません。DISPLAY を確認してください。\n");
        return false;
    }
    return true;
}

void keepRendererMemory()
{
#if defined(__GLIBC__)
    mallopt(M_TRIM_THRESHOLD, KEPT_HEAP_BYTES);
#endif
}

void initWindow(int* argc, char** argv)
{
    if (!displayAvailable()) std::exit(1);
    keepRendererMemory();
    glutInitWindowSize(WINDOW_SIZE, WINDOW_SIZE);
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
    glutCreateWindow(WINDOW_TITLE);
    closeProbeDisplay();
    setUtf8Title(WINDOW_TITLE);
    // Closing the window from the window manager ends the process through exit(),
    // whose hooks restore the console terminal.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_EXIT);
    glutDisplayFunc(displayFrame);
    glutReshapeFunc(reshapeWindow);
    glutKeyboardFunc(onKey);
    setFrameFunction(displayFrame);  // a command key draws exactly one frame
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glutMainLoop();
    std::exit(0);
}

void reshapeWindow(int width, int height)
{
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

void displayFrame() { drawFramePass(); }
