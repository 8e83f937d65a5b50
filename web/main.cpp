// The page's program: sessions of the dialogue and the window keys, one after the other.
// A session is what one run of the window program is: defaults, the console dialogue, then
// one frame per window key until ESC; the page then offers a new session.
// Every search of the page's sessions is recorded in a file of the page's own file
// system, which the page's button downloads; ?answer=1 compares each ended search
// with the optimum, on the console and in the picture.
#include "app/dialogue.h"
#include "app/keys.h"
#include "app/record.h"
#include "core/console.h"
#include "core/state.h"
#include "render/answer_overlay.h"
#include "render/frame.h"
#include "web/page.h"

namespace {

// The session record, and the copy of it that the button downloads during a search.
constexpr const char* RECORD_FILE = "/cptoc-session.txt";
constexpr const char* RECORD_COPY = "/cptoc-session-saved.txt";

bool sessionEnded = false;

// The state as the program starts, for every later session to start from it too.
SimState initialState;

// ESC: the window program exits; the page ends the session instead.
void endSession(int) { sessionEnded = true; }

void displayFrame()
{
    drawFramePass();
    recordFrameDone();  // a search that has just ended goes into the record
}

}  // namespace

int main()
{
    conInitLocale();
    setFrameFunction(displayFrame);  // a command key draws exactly one frame
    setExitFunction(endSession);
    initialState = sim;
    if (recordOpen(RECORD_FILE)) pageOfferRecord(RECORD_FILE);
    const bool answer = pageAnswerAsked();
    setAnswerShown(answer);
    setAnswerOverlay(answer);
    // One session per pass; the page stays open for as long as the student keeps it.
    for (;;) {
        sim = initialState;
        initDefaults();
        sim.lastKey = '0';
        sessionEnded = false;
        recordNewSession();
        setupDialogue();
        pageSetMode(PAGE_WINDOW);
        displayFrame();  // the first picture, as the window's first exposure draws it
        // One key per pass; ends with ESC.
        while (!sessionEnded) {
            const int key = pageWaitWindowKey();
            if (key == PAGE_SAVE_KEY) {
                // The record so far with the search in progress, as left with ESC.
                if (recordSnapshot(RECORD_COPY)) pageDownload(RECORD_COPY);
                continue;
            }
            onKey(static_cast<unsigned char>(key), 0, 0);
            if (!sessionEnded) pageSetMode(PAGE_WINDOW);  // after a 'k' or 'u' dialogue
        }
        pageSetMode(PAGE_ENDED);
        pageWaitRestart();
    }
}
