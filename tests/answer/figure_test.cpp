// The answer key's picture: tick steps, what the drawing puts on the page, and
// files written whole in the asked format or not at all, "-" as standard
// output, through symbolic links, keeping a file's mode, naming the right reason.
#include <gtest/gtest.h>

#include <cairo.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "answer/args.h"
#include "answer/files.h"
#include "answer/grade.h"
#include "answer/report.h"
#include "core/state.h"
#include "planner/optimum.h"
#include "plot/figure.h"
#include "test_support.h"

namespace {

KeySession keys;

struct Counts {
    long white = 0, green = 0, red = 0, blue = 0;
};

Counts draw(bool withSession)
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, FIG_WIDTH, FIG_HEIGHT);
    cairo_t* cr = cairo_create(s);
    drawFigure(cr, FIG_WIDTH, FIG_HEIGHT, withSession);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    Counts c;
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < FIG_HEIGHT; ++y)
        for (int x = 0; x < FIG_WIDTH; ++x) {
            const unsigned char* p = data + y * stride + 4 * x;  // B, G, R, unused
            const int b = p[0], g = p[1], r = p[2];
            if (r == 255 && g == 255 && b == 255) ++c.white;
            if (g > 100 && r < 60 && b < 60) ++c.green;
            if (r > 180 && g < 60 && b < 60) ++c.red;
            if (b > 180 && r < 60 && g < 60) ++c.blue;
        }
    cairo_surface_destroy(s);
    return c;
}

void answerDefaultArc()
{
    freshDefaults();
    prepareQuietly();
    ASSERT_TRUE(computeOptimum());
}

std::string head(const std::string& path, size_t n)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return "";
    std::string s(n, '\0');
    s.resize(std::fread(&s[0], 1, n, f));
    std::fclose(f);
    return s;
}

int entriesIn(const std::string& dir)
{
    DIR* d = opendir(dir.c_str());
    int n = 0;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++n;
    closedir(d);
    return n;
}

}  // namespace

TEST(Figure, TickStepsAreOneTwoOrFiveTimesAPowerOfTen)
{
    for (double range = 1e-4; range < 1e5; range *= 1.37) {
        for (int want : {3, 4, 6}) {
            const double step = niceStep(range, want);
            const double mant = step / std::pow(10.0, std::floor(std::log10(step) + 1e-12));
            EXPECT_TRUE(std::fabs(mant - 1) < 1e-9 || std::fabs(mant - 2) < 1e-9 || std::fabs(mant - 5) < 1e-9)
                << range << " " << step;
            EXPECT_GE(step, range / want * (1 - 1e-12));      // never more intervals than wanted
            EXPECT_LE(step, 2.5 * range / want * (1 + 1e-12));  // and not far fewer
        }
    }
    EXPECT_EQ(niceStep(0.0, 5), 1.0);
    EXPECT_EQ(niceStep(NAN, 5), 1.0);
}

TEST(Figure, DrawsTheOptimumAndTheSessionOnlyWhenAsked)
{
    answerDefaultArc();
    const Counts plain = draw(false);
    EXPECT_GT(plain.white, FIG_WIDTH * FIG_HEIGHT / 2);
    EXPECT_GT(plain.green, 2000);  // the optimal profile and its four time graphs
    EXPECT_GT(plain.blue, 100);    // the boundary curves where the optimum leaves them
    EXPECT_LT(plain.red, 10);

    const char* text = "s*63 c s*8 f s*80";
    ASSERT_TRUE(parseKeys(text, 17, &keys));
    captureBegin();
    replaySession(keys);
    captureEnd();
    const Counts session = draw(true);
    EXPECT_GT(session.red, 300);  // the key session's trajectory and its switch crosses
}

TEST(Figure, FilesAreWrittenInTheirFormatOrNotAtAll)
{
    answerDefaultArc();
    char dir[] = "/tmp/cptoc_fig_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;
    captureBegin();
    EXPECT_TRUE(writeFigure((d + "/a.png").c_str(), FIG_PNG, false));
    EXPECT_TRUE(writeFigure((d + "/a.svg").c_str(), FIG_SVG, false));
    EXPECT_TRUE(writeFigure((d + "/a.pdf").c_str(), FIG_PDF, false));
    EXPECT_EQ(captureEnd(), "");
    EXPECT_EQ(head(d + "/a.png", 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(head(d + "/a.pdf", 5), "%PDF-");
    EXPECT_NE(head(d + "/a.svg", 200).find("<svg"), std::string::npos);
    EXPECT_EQ(entriesIn(d), 3);  // no temporary file is left beside them

    // A name that is a directory: the rename fails, nothing is left behind.
    mkdir((d + "/sub").c_str(), 0755);
    captureBegin();
    EXPECT_FALSE(writeFigure((d + "/sub").c_str(), FIG_SVG, false));
    EXPECT_FALSE(writeFigure((d + "/none/a.png").c_str(), FIG_PNG, false));
    const std::string msg = captureEnd();
    EXPECT_NE(msg.find(d + "/sub を書けません"), std::string::npos) << msg;
    EXPECT_NE(msg.find(d + "/none/a.png を書けません"), std::string::npos) << msg;
    EXPECT_EQ(entriesIn(d), 4);
    EXPECT_EQ(entriesIn(d + "/sub"), 0);

    for (const char* f : {"/a.png", "/a.svg", "/a.pdf"}) std::remove((d + f).c_str());
    rmdir((d + "/sub").c_str());
    rmdir(dir);
}

// What fd 1 received while f ran (f must succeed).
template <typename F>
std::string onStandardOutput(F f)
{
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    char name[] = "/tmp/cptoc_stdout_XXXXXX";
    const int fd = mkstemp(name);
    dup2(fd, STDOUT_FILENO);
    close(fd);
    EXPECT_TRUE(f());
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    const std::string got = head(name, 1 << 20);
    unlink(name);
    return got;
}

bool isLink(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(Figure, OutputFilesGoWhereTheNameLeadsAndFailWithTheirOwnReason)
{
    answerDefaultArc();
    char dir[] = "/tmp/cptoc_out_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;

    // "-": standard output, no file anywhere.
    captureBegin();
    EXPECT_EQ(onStandardOutput([] { return writeFigure("-", FIG_PNG, false); }).substr(0, 8),
              std::string("\x89PNG\r\n\x1a\n", 8));
    const std::string csv = onStandardOutput([] { return writeOptimumCsv("-"); });
    EXPECT_EQ(captureEnd(), "");
    EXPECT_EQ(csv.substr(0, 20), "t,s,ds/dt,x,y,ax,ay\n");
    EXPECT_EQ(entriesIn(d), 0);

    // An existing file keeps its mode; a link, relative or dangling, is written
    // through to its target and stays a link.
    const std::string kept = d + "/kept.csv";
    std::fclose(std::fopen(kept.c_str(), "w"));
    chmod(kept.c_str(), 0640);
    ASSERT_EQ(symlink("kept.csv", (d + "/link.csv").c_str()), 0);
    ASSERT_EQ(symlink((d + "/later.svg").c_str(), (d + "/dangling.svg").c_str()), 0);
    captureBegin();
    EXPECT_TRUE(writeOptimumCsv((d + "/link.csv").c_str()));
    EXPECT_TRUE(writeFigure((d + "/dangling.svg").c_str(), FIG_SVG, false));
    EXPECT_EQ(captureEnd(), "");
    struct stat st;
    ASSERT_EQ(stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(head(kept, 1 << 20), csv);
    EXPECT_TRUE(isLink(d + "/link.csv") && isLink(d + "/dangling.svg"));
    EXPECT_NE(head(d + "/later.svg", 200).find("<svg"), std::string::npos);
    EXPECT_EQ(entriesIn(d), 4);  // no temporary file beside them

    // The reason printed is that of the write that failed inside cairo's stream.
    const pid_t limited = fork();
    if (limited == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &small);
        captureBegin();
        const bool ok = writeFigure((d + "/big.png").c_str(), FIG_PNG, false);
        const std::string line = captureEnd();
        _exit(!ok && line == "\n  ファイル " + d + "/big.png を書けません: " + std::strerror(EFBIG) ? 0 : 1);
    }
    int status = 0;
    waitpid(limited, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the reason was not EFBIG";

    // SIGTERM or SIGINT while a file is open removes its temporary file.
    for (int sig : {SIGTERM, SIGINT}) {
        const pid_t writer = fork();
        if (writer == 0) {
            OutFile o;
            if (outOpen(&o, (d + "/killed.png").c_str())) raise(sig);
            _exit(0);
        }
        waitpid(writer, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    }
    EXPECT_EQ(entriesIn(d), 4);

    for (const char* f : {"/kept.csv", "/link.csv", "/dangling.svg", "/later.svg"}) std::remove((d + f).c_str());
    rmdir(dir);
}
