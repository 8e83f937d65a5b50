// The optimum over the student's curve in the phase plane, for cptoc --answer.
// Reads `optimum`, endMark and the view state of `sim`; draws only.
#include "render/answer_overlay.h"

#include "core/state.h"
#include "planner/optimum.h"
#include "render/phase_plots.h"
#include "render/primitives.h"
#include "render/view.h"

const float magenta[4] = {1.0f, 0.0f, 1.0f, 1.0f};

namespace {

bool overlayOn = false;

constexpr double OVERLAY_WIDTH_FACTOR = 2.0;       // × the playback trajectory width
constexpr double OVERLAY_RING_RADIUS = 0.012;      // [window units], larger than the axis-force rings

}  // namespace

void setAnswerOverlay(bool on) { overlayOn = on; }

void drawAnswerOverlay()
{
    if (!overlayOn || sim.endMark != 'e' || !optimum.ok) return;
    int n = optimum.nProfile;
    if (n > OPT_PROFILE_CAP - 1) n = OPT_PROFILE_CAP - 1;
    if (n < 1) return;
    // Every stride-th sample and the last one: the shape at a bounded cost per frame.
    const int stride = (n + OVERLAY_SEGMENTS - 1) / OVERLAY_SEGMENTS;
    double a[2];
    double b[2];
    phaseTransform(optimum.profile[0][0], optimum.profile[0][1], a);
    beginThickLines(phaseLineWidth() * OVERLAY_WIDTH_FACTOR, magenta);
    for (int j = stride; j < n + stride; j += stride) {
        const int i = j < n ? j : n;
        phaseTransform(optimum.profile[i][0], optimum.profile[i][1], b);
        thickLineSegment(a, b);
        a[0] = b[0];
        a[1] = b[1];
    }
    endThickLines();
    int nSwitch = optimum.nSwitch;
    if (nSwitch > OPT_SWITCH_CAP) nSwitch = OPT_SWITCH_CAP;
    for (int k = 0; k < nSwitch; ++k) {
        double c[2];
        phaseTransform(optimum.sw[k].s, optimum.sw[k].v, c);
        drawRing(c, OVERLAY_RING_RADIUS, magenta);
    }
}
