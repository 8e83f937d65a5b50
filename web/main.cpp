// The page's program: sessions of the dialogue and the window keys, one after the other.
// A session is what one run of the window program is: defaults, the console dialogue, then
// one frame per window key until ESC; the page then offers a new session.
#include "app/dialogue.h"
#include "app/keys.h"
#include "core/console.h"
#include "core/state.h"
#include "render/frame.h"
#include "web/page.h"

namespace {

bool sessionEnded = false;

// The state as the program starts, for every later session to start from it too.
SimState initialState;

// ESC: the window program exits; the page ends the session instead.
void endSession(int) { sessionEnded = true; }

void displayFrame() { drawFramePass(); }

}  // namespace

int main()
{
    conInitLocale();
    setFrameFunction(displayFrame);  // a command key draws exactly one frame
    setExitFunction(endSession);
    initialState = sim;
    // One session per pass; the page stays open for as long as the student keeps it.
    for (;;) {
        sim = initialState;
        initDefaults();
        sim.lastKey = '0';
        sessionEnded = false;
        setupDialogue();
        pageSetMode(PAGE_WINDOW);
        displayFrame();  // the first picture, as the window's first exposure draws it
        // One key per pass; ends with ESC.
        while (!sessionEnded) {
            const int key = pageWaitWindowKey();
            onKey(static_cast<unsigned char>(key), 0, 0);
            if (!sessionEnded) pageSetMode(PAGE_WINDOW);  // after a 'k' or 'u' dialogue
        }
        pageSetMode(PAGE_ENDED);
        pageWaitRestart();
    }
}
