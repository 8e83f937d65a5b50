// Normal CP motion: a trapezoidal (or triangular) profile of s with one path
// acceleration, reduced until the axes stay within their limits. Writes normal*, tfNormal.
#include "planner/normal_cp.h"

#include <cmath>

#include "core/state.h"
#include "path/curves.h"
#include "planner/notices.h"

namespace {

// 0.95^2000 is about 1e-45: far below any acceleration that could still violate
// a valid limit, so reaching this count means the inputs cannot be satisfied.
constexpr int MAX_REDUCTIONS = 2000;

struct Profile {
    double a, tauA, v, sa, tauD, tfN, sEnd;
};

// Profile at time tau: acceleration, cruise and deceleration phases tested in this
// order. Past tfN the motion holds its end state (sEnd, 0) with no acceleration.
void profileAt(const Profile& p, double tau, double* s, double* v, double* sdd)
{
    if (tau <= p.tauA) {
        *s = p.a * tau * tau / 2.0;
        *v = p.a * tau;
        *sdd = p.a;
    } else if (tau <= p.tauD) {
        *s = p.sa + p.v * (tau - p.tauA);
        *v = p.v;
        *sdd = 0.0;
    } else if (tau <= p.tfN) {
        const double r = p.tfN - tau;
        *s = p.sEnd - p.a * r * r / 2.0;
        *v = p.a * r;
        *sdd = -p.a;
    } else {
        *s = p.sEnd;
        *v = 0.0;
        *sdd = 0.0;
    }
}

// v = a tauA, sa = a tauA^2 / 2; a path too short to reach v gets the triangular
// profile (sa = sEnd / 2, tauA = sqrt(2 sa / a)) while v keeps its value.
void shapeProfile(Profile* p)
{
    p->v = p->a * p->tauA;
    p->sa = p->a * p->tauA * p->tauA / 2.0;
    if (p->sEnd / 2.0 < p->sa) {
        p->sa = p->sEnd / 2.0;
        p->tauA = std::sqrt(2.0 * p->sa / p->a);
    }
    p->tfN = 2.0 * p->tauA + (p->sEnd - 2.0 * p->sa) / p->v;
    p->tauD = p->tfN - p->tauA;
}

// The profile of the largest path acceleration the smaller axis scale allows,
// before any reduction; false when no profile can be formed (no positive, finite
// acceleration or path length).
bool initialProfile(Profile* p)
{
    const SimState& g = sim;
    const int type = g.cpType;
    p->sEnd = g.sEnd[type];
    p->tauA = 0.5;
    const double ax = g.xamax / g.dxScale[type];
    const double ay = g.yamax / g.dyScale[type];
    p->a = ax < ay ? ax : ay;
    return p->a > 0.0 && std::isfinite(p->a) && p->sEnd > 0.0 && std::isfinite(p->sEnd);
}

// True when both axes keep their limits at time tau of the profile.
bool keepsLimits(const Profile& p, double tau)
{
    double s, v, sdd, acc[3];
    profileAt(p, tau, &s, &v, &sdd);
    cpAxisAcc(s, v, sdd, acc);
    return !(std::fabs(acc[1]) > sim.xamax || std::fabs(acc[2]) > sim.yamax);
}

// Reduces the path acceleration by 0.95 until both axes keep their limits at
// every sample time sampleTime(0..last); the profile is shaped for the last value tried.
template <typename SampleTime>
void fitToLimits(Profile* p, int last, SampleTime sampleTime)
{
    for (int round = 0; round <= MAX_REDUCTIONS; ++round) {
        shapeProfile(p);
        bool pass = true;
        for (int i = 0; i <= last && pass; ++i) pass = keepsLimits(*p, sampleTime(i));
        if (pass || round == MAX_REDUCTIONS) return;
        p->a *= 0.95;
    }
}

void writePoint(int i, const Profile& p, double tau)
{
    SimState& g = sim;
    double s, v, sdd;
    profileAt(p, tau, &s, &v, &sdd);
    g.normalS[i][0] = s;
    g.normalS[i][1] = v;
    cpAxisAcc(s, v, sdd, g.normalAcc[i]);
    cpPoint(s, g.normalXY[i]);
}

}  // namespace

void computeNormalCP()
{
    SimState& g = sim;
    int mf = g.mf;
    if (mf > TRAJ_LAST) mf = TRAJ_LAST;

    Profile p;
    if (!initialProfile(&p)) {
        // No profile can be formed: normal CP motion rests at the start.
        for (int i = 0; i <= mf; ++i) {
            g.normalS[i][0] = g.normalS[i][1] = 0.0;
            g.normalAcc[i][0] = g.normalAcc[i][1] = g.normalAcc[i][2] = 0.0;
            cpPoint(0.0, g.normalXY[i]);
        }
        g.tfNormal = 0.0;
        g.mNormal = mf;
        return;
    }

    // Checked at the times of the minimum-time trajectory.
    fitToLimits(&p, mf, [](int i) { return sim.TIME[i]; });
    for (int i = 0; i <= mf; ++i) {
        g.t = g.TIME[i];
        writePoint(i, p, g.TIME[i]);
    }
    g.tfNormal = p.tfN;

    // Continuation past the minimum-time trajectory in steps of dt0, up to the end
    // of the motion or the end of the tables.
    int idx = mf;
    for (int j = 1; mf + j <= TRAJ_LAST; ++j) {
        idx = mf + j;
        g.TIME[idx] = g.TIME[mf] + j * g.dt0;
        const double tau = g.TIME[idx];
        g.t = tau;
        if (tau > p.tfN) {
            g.TIME[idx] = p.tfN;
            g.normalS[idx][0] = p.sEnd;
            g.normalS[idx][1] = 0.0;
            g.normalAcc[idx][0] = g.normalAcc[idx][1] = g.normalAcc[idx][2] = 0.0;
            cpPoint(p.sEnd, g.normalXY[idx]);
            g.mNormal = idx;
            return;
        }
        writePoint(idx, p, tau);
    }
    if (idx == TRAJ_LAST && g.TIME[idx] < p.tfN) reportTableFull();  // cut before its end
    g.mNormal = idx;
}

double normalCpTime(double until)
{
    const SimState& g = sim;
    Profile p;
    if (!initialProfile(&p)) return 0.0;
    // Samples 0..n at multiples of dt0, the last one at or past `until`; at most a trajectory table.
    int n = static_cast<int>(std::ceil(until / g.dt0));
    if (!(n >= 1)) n = 1;
    if (n > TRAJ_LAST) n = TRAJ_LAST;
    fitToLimits(&p, n, [](int i) { return i * sim.dt0; });
    return p.tfN;
}
