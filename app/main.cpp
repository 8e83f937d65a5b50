// Program entry: defaults, the console setup dialogue, then the graphics window.
// Touches the state only through initDefaults, the dialogue and the window.
#include "app/dialogue.h"
#include "app/window.h"
#include "core/console.h"
#include "core/state.h"

int main(int argc, char** argv)
{
    conOpenStandardDescriptors();
    conInitLocale();
    conInstallTerminalGuards();
    initDefaults();
    if (!displayAvailable()) return 1;
    sim.lastKey = '0';
    setupDialogue();
    initWindow(&argc, argv);
    return 0;
}
