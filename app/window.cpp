// The graphics window: creation, callbacks, the UTF-8 title and the display routine.
// Reads the whole state through the frame; the only module that talks to GLUT's window.
#include "app/window.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>  // XESetWireToEvent: the decoding of one event type
#include <X11/Xutil.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "app/keys.h"
#include "app/record.h"
#include "core/console.h"
#include "core/messages.h"
#include "render/frame.h"

namespace {

// Free memory kept at the top of the heap before any is returned [bytes]: above
// the renderer's per-frame scratch memory with a margin of two.
constexpr int KEPT_HEAP_BYTES = 64 * 1024 * 1024;

constexpr int WINDOW_SIZE = 800;  // [px], both ways

// Most window key events dropped after one dialogue: more than anyone types
// during it; the rest would still be taken as commands.
constexpr int DROPPED_KEYS_CAP = 100000;

const char* const WINDOW_TITLE = N_(
    "u:XY加速度，k:CP曲線 変更，W,w:画面拡大縮小，x,X,y,Y:左右上下移動，0:初期へ，s:継続, "
    "t:dt１つ戻る，r:切り替え，c:切り替え, f:最終軌道へ");

// The window's connection and its X window id, kept when it is created.
Display* windowDisplay = nullptr;
Window windowId = 0;

// freeglut hands the title to the window system as a Latin-1 WM_NAME and
// WM_ICON_NAME, which garbles Japanese. The window gets both again here:
// _NET_WM_NAME and _NET_WM_ICON_NAME in UTF-8 for current window managers and
// taskbars, WM_NAME and WM_ICON_NAME as compound text for older ones. The icon
// name is the title, as GLUT gives it.
void setUtf8Title(const char* title)
{
    Display* dpy = windowDisplay;
    const Window win = windowId;
    if (dpy == nullptr || win == 0) return;

    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    const int length = static_cast<int>(std::strlen(title));
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
        XChangeProperty(dpy, win, XInternAtom(dpy, name, False), utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title), length);

    char* list[1] = {const_cast<char*>(title)};
    XTextProperty prop;
    if (Xutf8TextListToTextProperty(dpy, list, 1, XCompoundTextStyle, &prop) == Success) {
        XSetWMName(dpy, win, &prop);
        XSetWMIconName(dpy, win, &prop);
        XFree(prop.value);
    }
    XFlush(dpy);
}

// The window's class names the program (freeglut's would be FREEGLUT), so that
// a dock matches the window to its menu entry (StartupWMClass=cptoc) and icon.
void setWindowClass()
{
    if (windowDisplay == nullptr || windowId == 0) return;
    char name[] = "cptoc";
    XClassHint hint;
    hint.res_name = name;
    hint.res_class = name;
    XSetClassHint(windowDisplay, windowId, &hint);
    XFlush(windowDisplay);
}

// ---- The window taken away from outside ----
//
// A window destroyed by another client (xdotool windowclose, a session tool)
// is destroyed by the server, and freeglut ignores the notice of it: the
// program would wait for ever without a window. The notice is caught where the
// connection decodes it, and the window is handed to GLUT's own destruction,
// which runs when the current round of events is done; with no window left the
// main loop ends the program with status 0, as ESC does. A lost connection to
// the display (the client killed, the server gone) ends it the same way.

int glutWindowId = 0;
Bool (*decodeDestroyNotify)(Display*, XEvent*, xEvent*) = nullptr;

int ignoreError(Display*, XErrorEvent*) { return 0; }

// GLUT destroys the window itself (at exit, after a window manager's close):
// the notice of that destruction is no news.
void onWindowClosing() { glutWindowId = 0; }

Bool onDestroyNotify(Display* dpy, XEvent* event, xEvent* wire)
{
    const Bool decoded = decodeDestroyNotify(dpy, event, wire);
    if (decoded && event->type == DestroyNotify && event->xdestroywindow.window == windowId && glutWindowId != 0) {
        // GLUT destroys the window once more; the server's refusal of that is
        // no failure of the program.
        XSetErrorHandler(ignoreError);
        glutDestroyWindow(glutWindowId);
        glutWindowId = 0;
    }
    return decoded;
}

// Without its connection the program cannot run GLUT's clean-up at exit (that
// would come back here): the terminal is restored and the output flushed by hand.
int onDisplayLost(Display*)
{
    conRestoreTerminal();
    std::fflush(nullptr);
    _exit(0);
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

// Whether the server is still at the other end of the probe's connection: a
// server that went away leaves the socket at its end. Asked of the socket
// itself, as any request on a lost connection ends the process in Xlib's
// fatal-error handler with its own English line.
bool probeConnected()
{
    const int fd = ConnectionNumber(probeDisplay);
    pollfd pf{fd, POLLIN, 0};
    if (poll(&pf, 1, 0) <= 0) return true;  // nothing to read: nothing has ended
    if ((pf.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
    char b;
    const ssize_t n = recv(fd, &b, 1, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

// A lost probe is given up without XCloseDisplay, which would talk to the
// server: its socket is closed, its few bytes of Xlib memory stay.
void dropLostProbe()
{
    if (probeDisplay == nullptr || probeConnected()) return;
    close(ConnectionNumber(probeDisplay));
    probeDisplay = nullptr;
}

// Window keys pressed while a console dialogue waited are no commands: the
// dialogue was answered in the console. Every key event that the server has
// sent by now is taken out of the queue; other events keep their order.
void dropQueuedKeys()
{
    Display* dpy = windowDisplay;
    if (dpy == nullptr || windowId == 0) return;
    XSync(dpy, False);
    XEvent event;
    for (int type : {KeyPress, KeyRelease})
        for (int i = 0; i < DROPPED_KEYS_CAP && XCheckTypedWindowEvent(dpy, windowId, type, &event); ++i) {
        }
}

// The keyboard callback: the command, and after a dialogue ('k' and 'u' start
// one) the keys that queued while it waited are dropped.
void onWindowKey(unsigned char key, int x, int y)
{
    onKey(key, x, y);
    if (key == 'k' || key == 'u') dropQueuedKeys();
}

}  // namespace

bool displayAvailable()
{
    dropLostProbe();
    if (probeDisplay != nullptr) return true;
    probeDisplay = XOpenDisplay(nullptr);
    if (probeDisplay == nullptr) {
        conErrorf("cptoc: 画面(X display)に接続できません。DISPLAY を確認してください。\n");
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
    // Looked at again: the display may have gone away during the first dialogue.
    if (!displayAvailable()) std::exit(1);
    keepRendererMemory();
    glutInitWindowSize(WINDOW_SIZE, WINDOW_SIZE);
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
    glutCreateWindow(tr(WINDOW_TITLE));
    closeProbeDisplay();
    windowDisplay = glXGetCurrentDisplay();
    windowId = static_cast<Window>(glXGetCurrentDrawable());
    setUtf8Title(tr(WINDOW_TITLE));
    setWindowClass();
    // Closing the window from the window manager ends the process through exit(),
    // whose hooks restore the console terminal; so does its destruction by another
    // client and the loss of the display connection.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_EXIT);
    glutWindowId = glutGetWindow();
    glutCloseFunc(onWindowClosing);
    decodeDestroyNotify = XESetWireToEvent(windowDisplay, DestroyNotify, onDestroyNotify);
    XSetIOErrorHandler(onDisplayLost);
    glutDisplayFunc(displayFrame);
    glutReshapeFunc(reshapeWindow);
    glutKeyboardFunc(onWindowKey);
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

void displayFrame()
{
    drawFramePass();
    recordFrameDone();  // a search that has just ended goes into the record (--record, --answer)
}
