// The accuracy table: guided bang-bang sessions against the reference optimum,
// with the time-domain audit, printed as Markdown. Rewrites `sim` for every path.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cases.h"
#include "core/state.h"

namespace {

const char* yesNo(bool b) { return b ? "yes" : "no"; }

void printMainTable(const std::vector<CaseMeasurement>& rows)
{
    std::printf("| Path | xamax, yamax [m/s²] | guided tf [s] | reference tf [s] | ratio | normal CP tf [s] "
                "| final: max \\|ax\\|/xamax, \\|ay\\|/yamax | normal CP: max \\|ax\\|/xamax, \\|ay\\|/yamax "
                "| max ds/dt above limit |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const CaseMeasurement& m : rows) {
        if (!m.guided.completed) {
            std::printf("| %s | %g, %g | not completed (%d keys) | %.4f | – | – | – | – | – |\n", m.path.c_str(), m.xamax,
                        m.yamax, m.guided.keys, m.reference.tf);
            continue;
        }
        // A motion that does not come to rest at the end of the path is marked.
        const bool offEnd = std::fabs(m.audit.endS - m.sEnd) > 1e-3 * m.sEnd;
        char note[96] = "";
        if (offEnd) std::snprintf(note, sizeof note, " (rests at s=%.4f, sEnd=%.4f)", m.audit.endS, m.sEnd);
        std::printf("| %s | %g, %g | %.4f%s | %.4f | %.4f%s | %.4f | %.4f, %.4f | %.4f, %.4f | %.4f |\n",
                    m.path.c_str(), m.xamax, m.yamax, m.guided.tf, note, m.reference.tf, m.ratio, offEnd ? " †" : "",
                    m.guided.tfNormal, m.audit.finalX, m.audit.finalY, m.audit.normalX, m.audit.normalY,
                    m.audit.vExcess);
    }
}

void printDiagnostics(const std::vector<CaseMeasurement>& rows)
{
    std::printf("| Path | xamax, yamax | NCHN | keys | end s / sEnd | final from positions: \\|ax\\|/xamax, "
                "\\|ay\\|/yamax | normal CP 0..mf: \\|ax\\|/xamax, \\|ay\\|/yamax | reference grid n | last "
                "refinement change [s] |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const CaseMeasurement& m : rows) {
        std::printf("| %s | %g, %g | %d | %d | %.5f / %.5f | %.4f, %.4f | %.4f, %.4f | %d | %.1e%s |\n", m.path.c_str(),
                    m.xamax, m.yamax, m.guided.NCHN, m.guided.keys, m.audit.endS, m.sEnd, m.audit.finalXMotion,
                    m.audit.finalYMotion, m.audit.normalXToMf, m.audit.normalYToMf, m.reference.n, m.reference.change,
                    m.reference.settled ? "" : " (not settled)");
    }
}

struct Check {
    std::string what;
    double expected;
    double reference;
};

double referenceFor(const PathCase& c)
{
    preparePath(c);
    return referenceMinimumTime().tf;
}

void printClosedForms()
{
    std::vector<Check> checks;
    // Straight lines (H or A -> 0): the X axis alone, accelerate half way and
    // brake the other half: tf = 2 sqrt(L / xamax).
    const double flat = 1e-9;
    checks.push_back({"constant-acc. cam L=0.5, H→0, xamax=2: 2√(L/xamax)", 2.0 * std::sqrt(0.5 / 2.0),
                      referenceFor({"", CP_CAM_ACC, 0.5, flat, 2.0, 2.0})});
    checks.push_back({"sine wave L=1, A→0, xamax=3, yamax=1: 2√(L/xamax)", 2.0 * std::sqrt(1.0 / 3.0),
                      referenceFor({"", CP_SINE, 1.0, flat, 3.0, 1.0})});
    checks.push_back({"cycloid cam L=0.8, H→0, xamax=1.5: 2√(L/xamax)", 2.0 * std::sqrt(0.8 / 1.5),
                      referenceFor({"", CP_CAM_CYCLOID, 0.8, flat, 1.5, 2.0})});
    // The quarter circle by direct time integration of its two halves.
    const QuarterArcHalves q = quarterArcHalves(1.0, 1.0, 1e-5);
    const double t11 = q.tForward + q.tBackward;
    checks.push_back({"quarter circle R=1, a=1: RK4 in time, both halves meeting at 45°", t11,
                      referenceFor({"", CP_ARC, 1.0, 90.0, 1.0, 1.0})});
    const double scales[][2] = {{0.5, 2.0}, {2.0, 0.5}, {1.0, 4.0}};
    for (const auto& sc : scales) {
        char what[96];
        std::snprintf(what, sizeof what, "quarter circle R=%g, a=%g: √(R/a) × the R=1, a=1 time", sc[0], sc[1]);
        checks.push_back({what, t11 * std::sqrt(sc[0] / sc[1]), referenceFor({"", CP_ARC, sc[0], 90.0, sc[1], sc[1]})});
    }
    checks.push_back({"quarter circle R=0.5, xamax=1, yamax=3 against xamax=3, yamax=1 (mirror)",
                      referenceFor({"", CP_ARC, 0.5, 90.0, 3.0, 1.0}), referenceFor({"", CP_ARC, 0.5, 90.0, 1.0, 3.0})});

    std::printf("| Check | closed form or independent value [s] | reference grid [s] | relative difference |\n");
    std::printf("|---|---|---|---|\n");
    for (const Check& c : checks)
        std::printf("| %s | %.7f | %.7f | %.1e |\n", c.what.c_str(), c.expected, c.reference,
                    (c.reference - c.expected) / c.expected);
    std::printf("\nDirect integration: forward half %.9f s at %.9f rad/s, backward half %.9f s at %.9f rad/s; "
                "largest (ds/dt)² over the limit's square on either half %.4f (below 1: the two curves meet under "
                "the velocity limit, so their minimum is the optimum).\n",
                q.tForward, q.vForward, q.tBackward, q.vBackward, q.peakLimitRatio);
}

}  // namespace

int main()
{
    std::vector<CaseMeasurement> rows;
    for (const PathCase& c : reportCases()) rows.push_back(measureCase(c));

    std::printf("## Guided bang-bang search against the reference optimum\n\n");
    printMainTable(rows);
    std::printf("\n† The motion comes to rest more than 0.1 %% of sEnd away from the end of the path.\n");
    std::printf("\nGuided: a whole session through the keys, the look-ahead deciding every switch. Reference: the "
                "largest admissible velocity profile on a grid in s (forward and backward sweep of (ds/dt)²), refined "
                "until two grids agree to 2e-6. Audit maxima over finalXY[0..mf] and normalAcc[0..mNormal]; the "
                "velocity excess over phase[0..mf] against vLimit interpolated linearly.\n\n");
    std::printf("## Diagnostics\n\n");
    printDiagnostics(rows);
    std::printf("\nFrom positions: twice the second divided difference of the played-back positions over TIME, a "
                "weighted mean of the true acceleration over two steps.\n\n");
    std::printf("## The reference against closed forms\n\n");
    printClosedForms();

    int incomplete = 0;
    for (const CaseMeasurement& m : rows) incomplete += m.guided.completed ? 0 : 1;
    std::printf("\nAll sessions completed: %s\n", yesNo(incomplete == 0));
    return 0;
}
