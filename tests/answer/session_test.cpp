// Recorded sessions from end to end without a window: the recorder fed by the
// window's own key commands and frames, its file graded by the answer key; a
// class of files as a table and CSV; a record edited by hand is flagged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "answer/session.h"
#include "app/keys.h"
#include "app/record.h"
#include "core/state.h"
#include "test_support.h"

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> v;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line);) v.push_back(line);
    return v;
}

// The window's display routine without the picture: a frame, then the recorder.
void windowFrame()
{
    computeFrame();
    recordFrameDone();
}

void press(unsigned char key, int times = 1)
{
    for (int i = 0; i < times; ++i) onKey(key, 0, 0);
}

// 's' until the search ends (at most limit presses); true when it ended.
bool continueToTheEnd(int limit)
{
    for (int i = 0; i < limit && sim.endMark != 'e'; ++i) press('s');
    return sim.endMark == 'e';
}

// A window session of two searches: the late switch on the default arc to its end,
// then a cam chosen with k, stepped, one frame drawn by the window itself, left with u.
// Returns the tf the window printed for the first.
double recordTwoSearches(const std::string& path)
{
    prepareType(CP_ARC);
    EXPECT_TRUE(recordOpen(path.c_str()));
    setFrameFunction(windowFrame);
    captureBegin();
    windowFrame();  // the window's first showing
    press('s', 63);
    press('c');
    press('s', 8);
    press('f');
    const bool ended = continueToTheEnd(300);
    const double tf = sim.tf;
    press('s', 5);  // playback keys after the end belong to no record
    feedInput("5\n0.4 0.3\n1.5 2.5\n");
    press('k');
    press('s', 20);
    windowFrame();  // uncovered: the window draws a frame by itself
    feedInput("2 3\n");
    press('u');
    feedInput(nullptr);
    recordClose();
    captureEnd();
    setFrameFunction(nullptr);
    EXPECT_TRUE(ended);
    return tf;
}

std::string grade(const std::vector<std::string>& files, SessionOutcome* o, const char* csv = nullptr)
{
    static std::vector<std::string> kept;
    kept = files;
    static std::vector<char*> argv;
    argv.clear();
    for (auto& f : kept) argv.push_back(&f[0]);
    AnswerArgs a;
    a.session = true;
    a.files = argv.data();
    a.nFiles = static_cast<int>(argv.size());
    a.csv = csv;
    freshDefaults();
    captureBegin();
    *o = gradeSessions(a);
    return captureEnd();
}

class Sessions : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/cptoc_sessions_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
};

}  // namespace

TEST_F(Sessions, WindowKeysAreRecordedAndTheirReplayGivesTheSameTf)
{
    const std::string file = dir + "/s.txt";
    const double tf = recordTwoSearches(file);
    const std::vector<std::string> l = linesOf(slurp(file));
    ASSERT_GE(l.size(), 15u) << slurp(file);
    EXPECT_EQ(l[0], RECORD_FORMAT_LINE);
    EXPECT_EQ(l[2], "search 1");
    EXPECT_EQ(l[3].rfind("path arc 0.5 ", 0), 0u) << l[3];
    EXPECT_EQ(l[4], "limits 2 2");
    EXPECT_EQ(l[5].rfind("keys s*63 c s*8 f s*", 0), 0u) << l[5];
    EXPECT_EQ(std::strtod(l[6].c_str() + 6, nullptr), tf) << l[6];  // "ended " and the exact tf
    EXPECT_EQ(l[8], "search 2");
    EXPECT_EQ(l[9], "path cam 0.4 0.3");
    EXPECT_EQ(l[10], "limits 1.5 2.5");
    EXPECT_EQ(l[11], "first-frame no");  // after the dialogue the first key came first
    EXPECT_EQ(l[12], "keys s*21");       // the window's own frame steps as 's' does
    EXPECT_EQ(l[13].rfind("left u 21 0.2", 0), 0u) << l[13];

    SessionOutcome o;
    const std::string report = grade({file}, &o);
    EXPECT_EQ(o.graded, 2);
    EXPECT_EQ(o.skipped, 0);
    EXPECT_EQ(o.mismatched, 0) << report;
    char want[64];
    std::snprintf(want, sizeof want, "キー操作の位置決め時間 tf=%7.4f[s]", tf);
    EXPECT_NE(report.find(want), std::string::npos) << report;
    EXPECT_NE(report.find("止まった所 m=21"), std::string::npos) << report;
    EXPECT_EQ(report.find("記録と違います"), std::string::npos);
}

TEST_F(Sessions, AClassIsOneTableAndItsCsvAndAnEditedTfIsFlagged)
{
    const std::string a = dir + "/a.txt", b = dir + "/b.txt", c = dir + "/c.txt", csv = dir + "/class.csv";
    const double tf = recordTwoSearches(a);
    std::filesystem::copy_file(a, b);
    // c: the first tf written by hand with four decimals, as a student might.
    std::string text = slurp(a);
    const size_t at = text.find("ended ");
    const size_t eol = text.find('\n', at);
    char four[32];
    std::snprintf(four, sizeof four, "ended %.4f", tf + 0.001);
    text.replace(at, eol - at, four);
    std::ofstream(c) << text;

    SessionOutcome o;
    const std::string report = grade({a, b, c}, &o, csv.c_str());
    EXPECT_EQ(o.graded, 6);
    EXPECT_EQ(o.skipped, 0);
    EXPECT_EQ(o.mismatched, 1);
    EXPECT_TRUE(o.filesOk);
    EXPECT_EQ(report.find("/*****"), std::string::npos) << "a class gets the table only";
    int flagged = 0;
    for (const std::string& line : linesOf(report))
        if (line.find("(記録と不一致)") != std::string::npos) {
            ++flagged;
            EXPECT_EQ(line.rfind(c, 0), 0u) << line;
        }
    EXPECT_EQ(flagged, 1);

    const std::vector<std::string> rows = linesOf(slurp(csv));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0], "file,record,type,d1,d2,xamax,yamax,tf,optimal_tf,diff_percent,result,reproduced");
    char tfText[16];
    std::snprintf(tfText, sizeof tfText, "%.4f", tf);
    for (int i = 1; i <= 6; ++i) {
        const bool first = i % 2 == 1;
        EXPECT_NE(rows[i].find(first ? ",arc," : ",cam,0.4,0.3,1.5,2.5,"), std::string::npos) << rows[i];
        EXPECT_NE(rows[i].find(first ? std::string(",") + tfText + "," : std::string(",-,")), std::string::npos)
            << rows[i];
        EXPECT_NE(rows[i].find(first ? ",ended," : ",u,"), std::string::npos) << rows[i];
        EXPECT_EQ(rows[i].substr(rows[i].size() - 3), i == 5 ? ",no" : "yes") << rows[i];
    }
    // The difference in percent is the student's tf against the optimal one.
    std::stringstream row(rows[1]);
    std::vector<std::string> cell;
    for (std::string x; std::getline(row, x, ',');) cell.push_back(x);
    ASSERT_EQ(cell.size(), 12u);
    EXPECT_NEAR(std::stod(cell[9]), (std::stod(cell[7]) / std::stod(cell[8]) - 1.0) * 100.0, 0.01);
}

// Any arc angle the dialogue can hold is written so that it gives back the same radians.
TEST(RecordNumbers, WrittenValuesReadBackExactly)
{
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> degrees(0.01, 3600.0);
    std::uniform_real_distribution<double> lengths(0.01, 20.0);
    for (int i = 0; i < 2000; ++i) {
        const double sEnd = degrees(rng) * DEG2RAD;
        char text[32];
        formatArcDegrees(sEnd, text);
        EXPECT_EQ(std::strtod(text, nullptr) * DEG2RAD, sEnd) << text;
        const double v = lengths(rng);
        formatExact(v, text);
        EXPECT_EQ(std::strtod(text, nullptr), v) << text;
    }
    char text[32];
    formatExact(0.5, text);
    EXPECT_STREQ(text, "0.5");  // short where short is exact
}
