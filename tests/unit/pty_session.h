// A child process on a real pseudo-terminal, driven as a person at the keyboard:
// start it held, release it, type, wait for its texts and for the terminal's mode.
// Shared by the pseudo-terminal tests of the console.
#pragma once

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr int WAIT_MS = 15000;  // longest wait for any one text of the child

const char* const Q1 = "\n   軌道曲線変更する？　yes : y   no : n    ";
const char* const Q2 = "\n   最大加速度変更する？　yes : y   no : n    ";
const char* const REPORT_HEAD = "\n\n/*************** 設定した最短時間制御の条件 ************************/";
const char* const INPUT_ENDED = "\n  入力が終わりました: これ以降は旧値のままにします";

inline long nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

inline bool sameMode(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

struct Pty {
    pid_t pid = -1;
    int master = -1;
    int gate = -1;  // write end: the child starts its body when a byte arrives
    std::string raw;  // everything the child wrote
    termios initial{};

    // The output without the carriage returns that the terminal adds to line breaks.
    std::string text() const
    {
        std::string s;
        for (char c : raw)
            if (c != '\r') s += c;
        return s;
    }
};

inline bool start(Pty* p, void (*body)())
{
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return false;
    std::fflush(nullptr);
    winsize ws{24, 80, 0, 0};
    const pid_t pid = forkpty(&p->master, nullptr, nullptr, &ws);
    if (pid < 0) return false;
    if (pid == 0) {
        close(pipeFd[1]);
        char c;
        while (read(pipeFd[0], &c, 1) < 0 && errno == EINTR) {
        }
        close(pipeFd[0]);
        const rlimit noCore{0, 0};  // a child ended by SIGQUIT leaves no core file
        setrlimit(RLIMIT_CORE, &noCore);
        body();
        _exit(0);
    }
    close(pipeFd[0]);
    p->pid = pid;
    p->gate = pipeFd[1];
    tcgetattr(p->master, &p->initial);
    return true;
}

inline void release(Pty* p)
{
    const char c = 'g';
    ASSERT_EQ(write(p->gate, &c, 1), 1);
    close(p->gate);
    p->gate = -1;
}

inline int occurrences(const std::string& text, const std::string& needle)
{
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// Reads the child's output until needle has appeared n times or the time is up.
inline bool readUntilNth(Pty* p, const std::string& needle, int n, int timeoutMs = WAIT_MS)
{
    const long end = nowMs() + timeoutMs;
    while (occurrences(p->text(), needle) < n) {
        const long left = end - nowMs();
        if (left <= 0) return false;
        pollfd pf{p->master, POLLIN, 0};
        const int r = poll(&pf, 1, static_cast<int>(left));
        if (r <= 0) continue;
        char buf[4096];
        const ssize_t got = read(p->master, buf, sizeof buf);
        if (got <= 0) return false;  // the child is gone
        p->raw.append(buf, static_cast<size_t>(got));
    }
    return true;
}

inline bool readUntil(Pty* p, const std::string& needle, int timeoutMs = WAIT_MS)
{
    return readUntilNth(p, needle, 1, timeoutMs);
}

// Waits until the terminal is (raw) or is not (!raw) in the single-key mode,
// told by its line mode alone; the echo is judged from the output.
inline bool waitMode(const Pty& p, bool raw, int timeoutMs = WAIT_MS)
{
    const long end = nowMs() + timeoutMs;
    for (;;) {
        termios t;
        if (tcgetattr(p.master, &t) == 0) {
            const bool isRaw = (t.c_lflag & ICANON) == 0;
            if (isRaw == raw) return true;
        }
        if (nowMs() > end) return false;
        usleep(2000);
    }
}

inline void type(const Pty& p, const char* keys) { ASSERT_EQ(write(p.master, keys, std::strlen(keys)), (ssize_t)std::strlen(keys)); }

// Reads what is left and waits for the child; kills it when it does not end in time.
inline int finish(Pty* p)
{
    const long end = nowMs() + WAIT_MS;
    int status = 0;
    for (;;) {
        pollfd pf{p->master, POLLIN, 0};
        if (poll(&pf, 1, 20) > 0) {
            char buf[4096];
            const ssize_t n = read(p->master, buf, sizeof buf);
            if (n > 0) p->raw.append(buf, static_cast<size_t>(n));
        }
        const pid_t w = waitpid(p->pid, &status, WNOHANG);
        if (w == p->pid) break;
        if (nowMs() > end) {
            kill(p->pid, SIGKILL);
            waitpid(p->pid, &status, 0);
            ADD_FAILURE() << "the child did not end; output so far:\n" << p->text();
            break;
        }
    }
    if (p->gate >= 0) close(p->gate);
    return status;
}


}  // namespace
