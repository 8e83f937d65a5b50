// Output files written under a temporary name and renamed when complete; the CSV
// table of the optimal motion. Reads `optimum` through optimumAt.
#include "answer/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "planner/optimum.h"
#include "plot/figure.h"

namespace {

constexpr double CSV_STEP = 0.01;     // [s]
constexpr double GRID_SLACK = 1e-9;   // a tf this close to a grid time gets no extra row [s]
constexpr int LINK_HOPS_CAP = 40;     // symbolic links followed from one name, as the system does

void reportFailure(const char* path, int err)
{
    conPrintf("\n  ファイル %s を書けません: %s", path, std::strerror(err));
}

// ---- No temporary file left behind by a signal ----
//
// While a temporary file exists, SIGINT, SIGTERM and SIGHUP remove it and then
// take their course as before. One file is written at a time.

constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int CLEANUP_COUNT = static_cast<int>(sizeof CLEANUP_SIGNALS / sizeof CLEANUP_SIGNALS[0]);
struct sigaction previousActions[CLEANUP_COUNT];
char cleanupName[OUT_PATH_CAP + 16];
volatile sig_atomic_t cleanupArmed = 0;

void removeTemporaryAndGoOn(int sig)
{
    if (cleanupArmed) unlink(cleanupName);
    cleanupArmed = 0;
    for (int i = 0; i < CLEANUP_COUNT; ++i)
        if (CLEANUP_SIGNALS[i] == sig) sigaction(sig, &previousActions[i], nullptr);
    raise(sig);  // delivered with the earlier action once this handler returns
}

sigset_t cleanupSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : CLEANUP_SIGNALS) sigaddset(&set, sig);
    return set;
}

// Creates the temporary file of o->tmp with the cleanup armed for it, the
// signals held back in between. The descriptor, or -1 with errno.
int createTemporary(OutFile* o)
{
    const sigset_t set = cleanupSet();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &set, &before);
    const int fd = mkstemp(o->tmp);
    const int err = errno;
    if (fd >= 0) {
        std::memcpy(cleanupName, o->tmp, sizeof cleanupName);
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = removeTemporaryAndGoOn;
        sigemptyset(&sa.sa_mask);
        for (int i = 0; i < CLEANUP_COUNT; ++i) sigaction(CLEANUP_SIGNALS[i], &sa, &previousActions[i]);
        cleanupArmed = 1;
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    errno = err;
    return fd;
}

// The temporary file is gone (renamed or removed): the signals act as before.
void disarmCleanup()
{
    if (!cleanupArmed) return;
    const sigset_t set = cleanupSet();
    sigset_t before;
    sigprocmask(SIG_BLOCK, &set, &before);
    cleanupArmed = 0;
    for (int i = 0; i < CLEANUP_COUNT; ++i) sigaction(CLEANUP_SIGNALS[i], &previousActions[i], nullptr);
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Copies a and then b into out (cap bytes); false when they do not fit.
bool joinInto(char* out, int cap, const char* a, int aLen, const char* b)
{
    const int bLen = static_cast<int>(std::strlen(b));
    if (aLen + bLen >= cap) return false;
    std::memmove(out, a, static_cast<size_t>(aLen));
    std::memcpy(out + aLen, b, static_cast<size_t>(bLen) + 1);
    return true;
}

// The file that writing to o->path replaces, into o->target: the name itself,
// or the end of the chain of symbolic links it starts (a link may name a file
// that does not exist yet). 0, or the errno of the failure.
int resolveTarget(OutFile* o)
{
    char* t = o->target;
    if (!joinInto(t, OUT_PATH_CAP, "", 0, o->path)) return ENAMETOOLONG;
    for (int hops = 0; hops < LINK_HOPS_CAP; ++hops) {
        struct stat st;
        if (lstat(t, &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
        char link[OUT_PATH_CAP];
        const ssize_t n = readlink(t, link, sizeof link);
        if (n < 0) return errno;
        if (n >= static_cast<ssize_t>(sizeof link)) return ENAMETOOLONG;
        link[n] = '\0';
        // A relative link is read from the folder of the link itself.
        const char* slash = std::strrchr(t, '/');
        const int dirLen = link[0] == '/' || slash == nullptr ? 0 : static_cast<int>(slash - t) + 1;
        if (!joinInto(t, OUT_PATH_CAP, t, dirLen, link)) return ENAMETOOLONG;
    }
    return ELOOP;
}

// The figure's bytes go to the output file.
bool figureBytes(void* closure, const unsigned char* data, unsigned int length)
{
    OutFile* o = static_cast<OutFile*>(closure);
    outWrite(o, data, length);
    return !o->failed;
}

}  // namespace

bool outOpen(OutFile* o, const char* path)
{
    *o = OutFile{};
    o->path = path;
    if (std::strcmp(path, "-") == 0) {
        o->toStdout = true;
        o->f = stdout;
        return true;
    }
    const size_t len = std::strlen(path);
    if (len == 0 || len >= static_cast<size_t>(OUT_PATH_CAP)) {
        reportFailure(path, ENAMETOOLONG);
        return false;
    }
    int err = resolveTarget(o);
    if (err == 0 && !joinInto(o->tmp, static_cast<int>(sizeof o->tmp), o->target,
                              static_cast<int>(std::strlen(o->target)), ".XXXXXX"))
        err = ENAMETOOLONG;
    if (err != 0) {
        reportFailure(path, err);
        return false;
    }
    const int fd = createTemporary(o);
    if (fd < 0) {
        reportFailure(path, errno);
        return false;
    }
    // mkstemp makes the file private: a file that is replaced keeps its
    // permissions, a new one gets the usual ones.
    struct stat st;
    if (stat(o->target, &st) == 0 && S_ISREG(st.st_mode)) {
        fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    o->f = fdopen(fd, "wb");
    if (o->f == nullptr) {
        const int fdErr = errno;
        close(fd);
        unlink(o->tmp);
        disarmCleanup();
        reportFailure(path, fdErr);
        return false;
    }
    return true;
}

void outFail(OutFile* o, int err)
{
    if (!o->failed) o->err = err != 0 ? err : EIO;
    o->failed = true;
}

void outWrite(OutFile* o, const void* data, size_t n)
{
    if (o->f == nullptr || o->failed) return;
    errno = 0;
    if (std::fwrite(data, 1, n, o->f) != n) outFail(o, errno);
}

bool outCommit(OutFile* o)
{
    if (o->f == nullptr) return false;
    int err = o->failed ? o->err : 0;
    errno = 0;
    if (std::fflush(o->f) != 0 && err == 0) err = errno != 0 ? errno : EIO;
    if (err == 0 && std::ferror(o->f)) err = EIO;
    if (o->toStdout) {
        o->f = nullptr;
    } else {
        if (std::fclose(o->f) != 0 && err == 0) err = errno;
        o->f = nullptr;
        if (err == 0 && std::rename(o->tmp, o->target) != 0) err = errno;
        if (err != 0) unlink(o->tmp);
        disarmCleanup();
    }
    if (err != 0) {
        reportFailure(o->path, err);
        return false;
    }
    return true;
}

bool writeOptimumCsv(const char* path)
{
    if (!optimum.ok || !std::isfinite(optimum.tf) || optimum.tf < 0.0) {
        conPrintf("\n  最適解がないので %s は書きません", path);
        return false;
    }
    OutFile o;
    if (!outOpen(&o, path)) return false;
    static const char header[] = "t,s,ds/dt,x,y,ax,ay\n";
    outWrite(&o, header, sizeof header - 1);
    const double tf = optimum.tf;
    const long rows = static_cast<long>(std::floor(tf / CSV_STEP + GRID_SLACK));
    // rows + 1 grid rows (0 .. rows*0.01), then tf itself when it lies off the grid.
    for (long k = 0; k <= rows + 1; ++k) {
        double t = k * CSV_STEP;
        if (k == rows + 1) {
            if (!(tf - rows * CSV_STEP > GRID_SLACK)) break;
            t = tf;
        }
        const OptimumPoint at = optimumAt(t);
        char line[256];
        const int n = std::snprintf(line, sizeof line, "%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f\n", t, at.s, at.v, at.x,
                                    at.y, at.ax, at.ay);
        if (n <= 0 || n >= static_cast<int>(sizeof line)) {
            outFail(&o, n < 0 ? errno : EOVERFLOW);  // a row left out would make a wrong table
            break;
        }
        outWrite(&o, line, static_cast<size_t>(n));
    }
    return outCommit(&o);
}

bool writeFigure(const char* path, FigureFormat format, bool withSession)
{
    OutFile o;
    if (!outOpen(&o, path)) return false;
    // A failure of cairo's own (not of a write, whose reason is kept) is an I/O error.
    if (!renderFigure(format, withSession, figureBytes, &o)) outFail(&o, EIO);
    return outCommit(&o);
}
