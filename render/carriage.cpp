// The carriage of the robot in playback: body, tool point and the two force arrows.
// Reads bw, bh, zoom, playK, m, mf and finalXY[] of `sim`.
#include "render/carriage.h"

#include "core/state.h"
#include "render/primitives.h"
#include "render/view.h"

constexpr double TOOL_DOT_RADIUS = 0.005;  // [window units at zoom 1]

void drawCarriage(const double point[2], double angle, const float colour[4])
{
    const SimState& g = sim;
    double force[2];
    carriageForces(g.playK, force);
    CarriageGeometry c;
    carriageGeometry(point[0], point[1], angle, force[0], force[1], &c);

    // The white body hides whatever lies under the carriage.
    fillRect(c.corner, c.width, c.height, angle, white);
    frameRect(c.corner, c.width, c.height, angle, colour);
    drawDisc(c.q, TOOL_DOT_RADIUS * g.zoom, red);
    drawArrow(g.zoom, c.xTip, c.xLength, c.xAngle, red);
    drawArrow(g.zoom, c.yTip, c.yLength, c.yAngle, black);
}
