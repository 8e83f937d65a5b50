// Output files written under a temporary name and renamed when complete; the CSV
// table of the optimal motion. Reads `optimum` through optimumAt.
#include "answer/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/console.h"
#include "planner/optimum.h"
#include "plot/figure.h"

namespace {

constexpr double CSV_STEP = 0.01;     // [s]
constexpr double GRID_SLACK = 1e-9;   // a tf this close to a grid time gets no extra row [s]

void reportFailure(const char* path, int err)
{
    conPrintf("\n  ファイル %s を書けません: %s", path, std::strerror(err));
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
    const size_t len = std::strlen(path);
    if (len == 0 || len >= static_cast<size_t>(OUT_PATH_CAP)) {
        reportFailure(path, ENAMETOOLONG);
        return false;
    }
    std::memcpy(o->tmp, path, len);
    std::memcpy(o->tmp + len, ".XXXXXX", 8);
    const int fd = mkstemp(o->tmp);
    if (fd < 0) {
        reportFailure(path, errno);
        return false;
    }
    // mkstemp makes the file private; the finished file gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    o->f = fdopen(fd, "wb");
    if (o->f == nullptr) {
        const int err = errno;
        close(fd);
        unlink(o->tmp);
        reportFailure(path, err);
        return false;
    }
    return true;
}

void outWrite(OutFile* o, const void* data, size_t n)
{
    if (o->f == nullptr || o->failed) return;
    if (std::fwrite(data, 1, n, o->f) != n) o->failed = true;
}

bool outCommit(OutFile* o)
{
    if (o->f == nullptr) return false;
    int err = 0;
    if (o->failed || std::ferror(o->f)) err = errno != 0 ? errno : EIO;
    if (std::fflush(o->f) != 0 && err == 0) err = errno;
    if (std::fclose(o->f) != 0 && err == 0) err = errno;
    o->f = nullptr;
    if (err == 0 && std::rename(o->tmp, o->path) != 0) err = errno;
    if (err != 0) {
        unlink(o->tmp);
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
        if (n > 0 && n < static_cast<int>(sizeof line)) outWrite(&o, line, static_cast<size_t>(n));
    }
    return outCommit(&o);
}

bool writeFigure(const char* path, FigureFormat format, bool withSession)
{
    OutFile o;
    if (!outOpen(&o, path)) return false;
    if (!renderFigure(format, withSession, figureBytes, &o)) o.failed = true;
    return outCommit(&o);
}
