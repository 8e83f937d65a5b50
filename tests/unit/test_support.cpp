// Shared helpers of the unit tests: fresh default state, console capture and input.
#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/bounds.h"
#include "planner/join.h"
#include "planner/prepare.h"
#include "planner/search.h"

namespace {
char* captureBuf = nullptr;
size_t captureLen = 0;
FILE* captureStream = nullptr;
FILE* inputStream = nullptr;
char inputBytes[65536];
}  // namespace

void captureBegin()
{
    if (captureStream != nullptr) captureEnd();  // a capture left open is dropped
    captureStream = open_memstream(&captureBuf, &captureLen);
    conSetStreams(captureStream, inputStream);
}

std::string captureEnd()
{
    std::string out;
    if (captureStream != nullptr) {
        std::fclose(captureStream);
        out.assign(captureBuf, captureLen);
        std::free(captureBuf);
        captureBuf = nullptr;
        captureStream = nullptr;
    }
    conSetStreams(nullptr, inputStream);
    return out;
}

void feedInput(const char* bytes)
{
    if (inputStream != nullptr) {
        std::fclose(inputStream);
        inputStream = nullptr;
    }
    if (bytes != nullptr) {
        std::strncpy(inputBytes, bytes, sizeof inputBytes - 1);
        inputBytes[sizeof inputBytes - 1] = '\0';
        inputStream = fmemopen(inputBytes, std::strlen(inputBytes) + 1 > 1 ? std::strlen(inputBytes) : 1, "r");
        if (std::strlen(inputBytes) == 0) {
            // An empty input: a stream already at its end.
            std::fclose(inputStream);
            inputStream = std::fopen("/dev/null", "r");
        }
    }
    conSetStreams(captureStream, inputStream);
}

void freshDefaults()
{
    sim = SimState{};
    captureBegin();
    initDefaults();
    captureEnd();
}

void prepareType(int type)
{
    freshDefaults();
    sim.cpType = type;
    sim.xf = sim.cpEnd[type][0];
    sim.yf = sim.cpEnd[type][1];
    captureBegin();
    prepareSearch();
    captureEnd();
}

bool joinDefaultArc(int steps)
{
    freshDefaults();
    computeBoundaryCurves();
    makeVelocityLimit();
    resetSearch();
    for (int k = 0; k < steps; ++k) runSearchStep();
    sim.joinMark = 'f';
    sim.NCHN += 1;
    sim.chnStep[sim.NCHN] = sim.m;
    return joinFinalTrajectory();
}

void brakingBeforeGoal(double sigma, double y[2])
{
    const int saved = sim.accSign;
    sim.accSign = -1;
    y[0] = sim.sEnd[sim.cpType];
    y[1] = 0.0;
    const int n = static_cast<int>(std::ceil(sigma / 1e-5)) + 1;
    const double h = -sigma / n;
    for (int q = 0; q < n; ++q) {
        double yn[2], acc[3];
        rkgStep(0.0, h, y, yn, acc, 2);
        y[0] = yn[0];
        y[1] = yn[1];
    }
    sim.accSign = saved;
}
