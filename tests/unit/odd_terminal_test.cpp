// The setup dialogue on terminals set up unusually: Alt+key sent as ESC and the
// key, a terminal left in non-blocking mode, two copies of the program sharing
// one terminal as jobs of a shell.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "app/dialogue.h"
#include "core/console.h"
#include "core/state.h"
#include "pty_session.h"

namespace {

const char* const NOT_A_NUMBER = "入力が不正です";

// The start-up dialogue of the program without its window, then its results.
void dialogue(const char* label)
{
    conSetStreams(nullptr, nullptr);
    conSetCodeset("UTF-8");
    sim = SimState{};
    initDefaults();
    sim.lastKey = '0';
    setupDialogue();
    std::printf("\n[%s type=%d sEnd=%.9f xamax=%g yamax=%g]\n", label, sim.cpType, sim.sEnd[sim.cpType], sim.xamax,
                sim.yamax);
    std::fflush(stdout);
}

void plainChild() { dialogue("result"); }

// The terminal as an earlier program left it: non-blocking.
void nonBlockingChild()
{
    fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    dialogue("result");
}

// A job of its own process group, with the default job-control signals; a
// front job starts once the shell has handed it the terminal.
pid_t job(const char* label, bool front)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        std::signal(SIGTTOU, SIG_DFL);
        for (int i = 0; front && i < 5000 && tcgetpgrp(STDIN_FILENO) != getpgrp(); ++i) usleep(1000);
        conInstallTerminalGuards();
        dialogue(label);
        _exit(0);
    }
    setpgid(pid, pid);
    return pid;
}

// `cptoc & cptoc` as an interactive shell runs it: the front copy asks in
// single-key mode, then the back copy starts in the background. When the front
// one has ended, the back one is brought forward (`fg`).
void twoCopiesChild()
{
    std::signal(SIGTTOU, SIG_IGN);  // this shell hands the terminal over
    const pid_t front = job("front", true);
    tcsetpgrp(STDIN_FILENO, front);
    termios t;
    for (int i = 0; i < 5000 && tcgetattr(STDIN_FILENO, &t) == 0 && (t.c_lflag & ICANON) != 0; ++i) usleep(1000);
    const pid_t back = job("back", false);
    int status = 0;
    waitpid(back, &status, WUNTRACED);
    std::printf("[back stopped=%d]", WIFSTOPPED(status) ? 1 : 0);
    std::fflush(stdout);
    waitpid(front, &status, 0);
    tcsetpgrp(STDIN_FILENO, back);
    kill(-back, SIGCONT);
    waitpid(back, &status, 0);
    std::printf("[back ended]");
    std::fflush(stdout);
    _exit(0);
}

TEST(OddTerminal, AltKeyIsOneAnswerAndLeavesNothingForTheNextRead)
{
    // Alt+n at the first question, Alt+y at the second: each is one key other
    // than 'y' or 'n', so the second question is asked and the full entry follows.
    Pty p;
    ASSERT_TRUE(start(&p, plainChild));
    release(&p);
    ASSERT_TRUE(readUntil(&p, Q1));
    ASSERT_TRUE(waitMode(p, true));
    type(p, "\x1bn");
    ASSERT_TRUE(readUntil(&p, Q2)) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "\x1by");
    ASSERT_TRUE(readUntil(&p, "入力 c=")) << p.text();
    ASSERT_TRUE(waitMode(p, false));
    type(p, "2\n");
    ASSERT_TRUE(readUntil(&p, " L A=")) << p.text();
    type(p, "2 0.3\n1.5 2.5\n");
    ASSERT_TRUE(readUntil(&p, "[result type=2 sEnd=2.000000000 xamax=1.5 yamax=2.5]")) << p.text();
    finish(&p);
    EXPECT_EQ(p.text().find(NOT_A_NUMBER), std::string::npos) << p.text();
    close(p.master);
}

TEST(OddTerminal, ANonBlockingTerminalIsWaitedForNotTakenAsItsEnd)
{
    Pty p;
    ASSERT_TRUE(start(&p, nonBlockingChild));
    release(&p);
    ASSERT_TRUE(readUntil(&p, Q1));
    ASSERT_TRUE(waitMode(p, true));
    usleep(200 * 1000);  // a while with no key: still waiting
    type(p, "y");
    ASSERT_TRUE(readUntil(&p, "入力 c=")) << p.text();
    ASSERT_TRUE(waitMode(p, false));
    usleep(200 * 1000);
    type(p, "1\n");
    ASSERT_TRUE(readUntil(&p, "R θf=")) << p.text();
    type(p, "0.5 45\n1.5 2.5\n");
    ASSERT_TRUE(readUntil(&p, "yamax=2.5]")) << p.text();
    EXPECT_NE(p.text().find("[result type=1 sEnd=0.78539816"), std::string::npos) << p.text();
    finish(&p);
    EXPECT_EQ(p.text().find(INPUT_ENDED), std::string::npos) << p.text();
    close(p.master);
}

TEST(OddTerminal, ACopyInTheBackgroundTakesTheTerminalsModesOnlyInFront)
{
    Pty p;
    ASSERT_TRUE(start(&p, twoCopiesChild));
    release(&p);
    ASSERT_TRUE(readUntil(&p, "[back stopped=1]")) << p.text();
    // The front copy answers its two questions.
    type(p, "n");
    ASSERT_TRUE(readUntil(&p, Q2)) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "n");
    ASSERT_TRUE(readUntil(&p, "[front ")) << p.text();
    // Then the back copy, brought forward, answers its own.
    ASSERT_TRUE(waitMode(p, true));
    type(p, "n");
    ASSERT_TRUE(readUntilNth(&p, Q2, 2)) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "n");
    ASSERT_TRUE(readUntil(&p, "[back ended]")) << p.text();
    finish(&p);
    termios after;
    ASSERT_EQ(tcgetattr(p.master, &after), 0);
    EXPECT_TRUE(sameMode(p.initial, after)) << "lflag " << std::hex << after.c_lflag << " before " << p.initial.c_lflag;
    close(p.master);
}

}  // namespace
