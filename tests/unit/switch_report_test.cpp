// The two switching lists: which points become axis-force switch records, the
// end record, the table bound, and the printed lists byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/state.h"
#include "path/velocity_limit.h"
#include "planner/boundary_curves.h"
#include "planner/join.h"
#include "planner/rebuild.h"
#include "planner/search.h"
#include "planner/switch_report.h"
#include "test_support.h"

namespace {

// A hand-made final trajectory of points 0..count: time 0.1 i, s = 0.05 i,
// ds/dt = 1 + 0.01 i, and the given axis accelerations.
void handTrajectory(const double* ax, const double* ay, int count)
{
    freshDefaults();
    for (int i = 0; i <= count; ++i) {
        sim.TIME[i] = 0.1 * i;
        sim.phase[i][0] = 0.05 * i;
        sim.phase[i][1] = 1.0 + 0.01 * i;
        sim.accTab[i][0] = 0.0;
        sim.accTab[i][1] = ax[i];
        sim.accTab[i][2] = ay[i];
    }
    sim.tf = 0.1 * count + 0.05;
    sim.NCHN = 0;
    sim.chnRec[0][0] = sim.chnRec[0][1] = sim.chnRec[0][2] = 0.0;
}

int report(std::string* out)
{
    captureBegin();
    const int n = reportSwitches(sim.mf);
    *out = captureEnd();
    return n;
}

void expectRecord(int r, double t, int point)
{
    EXPECT_NEAR(sim.nctRec[r][0], t, 1e-15) << "record " << r;
    EXPECT_EQ(sim.nctRec[r][1], sim.phase[point][0]) << "record " << r;
    EXPECT_EQ(sim.nctRec[r][2], sim.phase[point][1]) << "record " << r;
    EXPECT_EQ(sim.nctRec[r][3], sim.accTab[point][1]) << "record " << r;
    EXPECT_EQ(sim.nctRec[r][4], sim.accTab[point][2]) << "record " << r;
}

}  // namespace

// Only X is ever on its limit: +xamax up to the junction, -xamax after it, 0 at the
// end. The reversal records the junction; X leaving its limit at the end records
// the end point, and the end record replaces it: start, junction, end.
TEST(SwitchReport, XOnlyBangBang)
{
    const double ax[7] = {2, 2, 2, -2, -2, -2, 0};
    const double ay[7] = {0.5, 0.6, 0.7, 0.4, 0.3, 0.2, 0};
    handTrajectory(ax, ay, 6);
    sim.mf = 6;
    std::string out;
    const int n = report(&out);
    EXPECT_EQ(n, 2);
    expectRecord(0, 0.0, 0);
    expectRecord(1, 0.3, 3);
    expectRecord(2, sim.tf, 6);
}

TEST(SwitchReport, ListsByteForByte)
{
    const double ax[7] = {2, 2, 2, -2, -2, -2, 0};
    const double ay[7] = {0.5, 0.6, 0.7, 0.25, 0.3, 0.2, 0};
    handTrajectory(ax, ay, 6);
    sim.mf = 6;
    sim.NCHN = 2;
    const double rec[3][5] = {
        {0.0, 0.0, 0.0, 2.0, 0.5}, {0.3, 0.15, 1.03, -2.0, 0.25}, {0.65, 0.3, 0.0, 0.0, 0.0}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c) sim.chnRec[r][c] = rec[r][c];
    std::string out;
    EXPECT_EQ(report(&out), 2);
    const std::string expected =
        "\n\n軌道に沿う加減速の切り替え回数 NCHN=2"
        "\nt0= 0.0000 S[]=( 0.0000  0.0000) ACC[]=( 2.0000  0.5000)"
        "\nt1= 0.3000 S[]=( 0.1500  1.0300) ACC[]=(-2.0000  0.2500)"
        "\ntf= 0.6500 S[]=( 0.3000  0.0000) ACC[]=( 0.0000  0.0000)"
        "\n\n関節トルク切り替え回数 NCT=2   加速度acc[]は直後の値"
        "\nt0= 0.0000 S[]=( 0.0000  1.0000) ACC[]=( 2.0000  0.5000)"
        "\nt1= 0.3000 S[]=( 0.1500  1.0300) ACC[]=(-2.0000  0.2500)"
        "\ntf= 0.6500 S[]=( 0.3000  1.0600) ACC[]=( 0.0000  0.0000)"
        "\n";
    EXPECT_EQ(out, expected);
}

// With NCHN = 0 the first list has only its tf line, showing record 0; with no
// axis-force switch the end record replaces the start record.
TEST(SwitchReport, NoSwitchesAtAll)
{
    const double ax[4] = {0.5, 0.6, 0.7, 0.8};
    const double ay[4] = {-1, -1.1, -1.2, -1.3};
    handTrajectory(ax, ay, 3);
    sim.mf = 3;
    sim.chnRec[0][3] = 0.5;
    sim.chnRec[0][4] = -1.0;
    std::string out;
    EXPECT_EQ(report(&out), 0);
    expectRecord(0, sim.tf, 3);
    const std::string expected =
        "\n\n軌道に沿う加減速の切り替え回数 NCHN=0"
        "\ntf= 0.0000 S[]=( 0.0000  0.0000) ACC[]=( 0.5000 -1.0000)"
        "\n\n関節トルク切り替え回数 NCT=0   加速度acc[]は直後の値"
        "\ntf= 0.3500 S[]=( 0.1500  1.0300) ACC[]=( 0.8000 -1.3000)"
        "\n";
    EXPECT_EQ(out, expected);
}

// Each condition of the two groups on its own, between two moving points 1 and 2.
TEST(SwitchReport, EachTransitionOnItsOwn)
{
    struct Case {
        const char* what;
        double ax1, ax2, ay1, ay2;
        int records;  // records at point 2
    };
    const Case cases[] = {
        {"X reaches its limit", 1.5, 2.0, 0.3, 0.3, 1},
        {"X reaches its negative limit", -1.5, -2.0, 0.3, 0.3, 1},
        {"X leaves its limit", 2.0, 1.5, 0.3, 0.3, 1},
        {"Y reaches its limit", 0.3, 0.3, 1.0, -2.0, 1},
        {"Y leaves its limit", 0.3, 0.3, 2.0, 0.5, 1},
        {"X jumps between its limits", 2.0, -2.0, 0.3, 0.3, 1},
        {"Y jumps between its limits", 0.3, 0.3, -1.99999, 1.99999, 1},
        {"X stays on its limit", 2.0, 2.0, 0.3, 0.4, 0},
        {"X comes near, not onto, its limit", 1.5, 1.9995, 0.3, 0.3, 0},
        {"X from near its limit onto it", 1.9995, 2.0, 0.3, 0.3, 0},
        {"X within 1e-5 of its limit counts as on it", 1.5, 1.999995, 0.3, 0.3, 1},
        {"a sign change far from the limits", 1.0, -1.0, 0.3, 0.3, 0},
        {"X reaches while Y reaches", 1.0, 2.0, 1.0, 2.0, 2},
        {"X leaves while Y leaves", 2.0, 1.0, 2.0, 1.0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Points 0 and 1 equal (no transition), 2 the new values, 3 equal to 2.
        const double ax[4] = {c.ax1, c.ax1, c.ax2, c.ax2};
        const double ay[4] = {c.ay1, c.ay1, c.ay2, c.ay2};
        handTrajectory(ax, ay, 3);
        sim.mf = 3;
        // Point 3, the end, repeats point 2: its record replaces the last one found.
        std::string out;
        const int n = report(&out);
        EXPECT_EQ(n, c.records);
        for (int r = 1; r < n; ++r) expectRecord(r, 0.2, 2);  // records of point 2 keep its time
        expectRecord(n, sim.tf, 3);
    }
}

// Two records at one point print with the same time.
TEST(SwitchReport, TwoRecordsAtOnePointShareTheirTime)
{
    const double ax[5] = {1.0, 1.0, 2.0, 2.0, 1.0};
    const double ay[5] = {1.0, 1.0, 2.0, 2.0, 1.0};
    handTrajectory(ax, ay, 4);
    sim.mf = 4;
    std::string out;
    // Point 2: both reach (two records); point 4: both leave (two records, the
    // second replaced by the end).
    EXPECT_EQ(report(&out), 4);
    expectRecord(1, 0.2, 2);
    expectRecord(2, 0.2, 2);
    expectRecord(3, 0.4, 4);
    expectRecord(4, sim.tf, 4);
    EXPECT_NE(out.find("\nt1= 0.2000 S[]=( 0.1000  1.0200) ACC[]=( 2.0000  2.0000)"
                       "\nt2= 0.2000 S[]=( 0.1000  1.0200) ACC[]=( 2.0000  2.0000)"),
              std::string::npos)
        << out;
}

// A motion that switches at every point: never more than the 30 records, and the
// table that follows the records is not touched.
TEST(SwitchReport, RecordsNeverPassTheirTable)
{
    static double ax[201], ay[201];
    for (int i = 0; i <= 200; ++i) {
        ax[i] = i % 2 == 0 ? 2.0 : -2.0;  // a reversal at every point
        ay[i] = 0.1;
    }
    handTrajectory(ax, ay, 200);
    sim.mf = 200;
    sim.fwdCurve[0][0] = 123.25;
    sim.fwdCurve[0][1] = -7.5;
    sim.chnStep[0] = 0;
    std::string out;
    const int n = report(&out);
    EXPECT_LE(n, REC_CAP - 1);
    EXPECT_GE(n, 1);
    EXPECT_EQ(sim.fwdCurve[0][0], 123.25);
    EXPECT_EQ(sim.fwdCurve[0][1], -7.5);
    expectRecord(n, sim.tf, 200);
    // The printed count is the returned one.
    EXPECT_NE(out.find("NCT=" + std::to_string(n) + "   "), std::string::npos);
}

// The report of a real search: the default arc joined and rebuilt.
TEST(SwitchReport, DefaultArcAfterTheRebuild)
{
    ASSERT_TRUE(joinDefaultArc(75));
    captureBegin();
    rebuildFinalTrajectory();
    captureEnd();
    std::string out;
    const int n = report(&out);
    // Start on Y's limit, X takes over, the switch at the middle, Y takes over again, end.
    EXPECT_EQ(n, 4);
    EXPECT_EQ(sim.nctRec[0][0], 0.0);
    EXPECT_EQ(sim.nctRec[n][0], sim.tf);
    for (int r = 1; r <= n; ++r) EXPECT_GT(sim.nctRec[r][0], sim.nctRec[r - 1][0]) << r;
    // The switch of the path acceleration is one of the axis-force switches.
    bool found = false;
    for (int r = 1; r < n; ++r) found = found || std::fabs(sim.nctRec[r][1] - sim.chnRec[1][1]) < 1e-9;
    EXPECT_TRUE(found);
    EXPECT_EQ(out.find("\n\n軌道に沿う加減速の切り替え回数 NCHN=2\nt0= 0.0000 S[]=( 0.0000  0.0000)"), 0u) << out;
    EXPECT_NE(out.find("\n\n関節トルク切り替え回数 NCT=4   加速度acc[]は直後の値\nt0= 0.0000"), std::string::npos)
        << out;
    EXPECT_EQ(out.substr(out.size() - 1), "\n");
}
