// The single-key read and the setup dialogue on a real pseudo-terminal: one key
// without echo and without Enter, type-ahead, Ctrl-D and Ctrl-C, the mode restored.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "app/dialogue.h"
#include "core/console.h"
#include "core/state.h"
#include "pty_session.h"

namespace {

// ---- Child side: runs with stdin, stdout and stderr on the terminal ----

// The console codeset of the children (set before they are started).
const char* childCodeset = "UTF-8";

// The start-up run of the program without its window: defaults, then the dialogue,
// then one line with the results and whether the terminal mode is as before.
void dialogueChild()
{
    conSetStreams(nullptr, nullptr);
    conSetCodeset(childCodeset);
    termios before, after;
    tcgetattr(STDIN_FILENO, &before);
    sim = SimState{};
    initDefaults();
    sim.lastKey = '0';
    setupDialogue();
    tcgetattr(STDIN_FILENO, &after);
    std::printf("\n[result type=%d sEnd=%.9f phscale=%g xamax=%g yamax=%g same=%d]\n", sim.cpType,
                sim.sEnd[sim.cpType], sim.phscale, sim.xamax, sim.yamax, sameMode(before, after) ? 1 : 0);
    std::fflush(stdout);
}

void guardedDialogueChild()
{
    conInstallTerminalGuards();
    dialogueChild();
}

void printResult(const char* label)
{
    std::printf("\n[%s type=%d sEnd=%.9f xamax=%g yamax=%g]\n", label, sim.cpType, sim.sEnd[sim.cpType], sim.xamax,
                sim.yamax);
    std::fflush(stdout);
}

// Two dialogues as the window starts them: 'u', then 'k'.
void windowDialoguesChild()
{
    conSetStreams(nullptr, nullptr);
    conSetCodeset("UTF-8");
    sim = SimState{};
    initDefaults();
    sim.lastKey = 'u';
    setupDialogue();
    printResult("first");
    sim.lastKey = 'k';
    setupDialogue();
    printResult("second");
}

// One 'k' dialogue as the window starts it.
void windowDialogueChild()
{
    conSetStreams(nullptr, nullptr);
    conSetCodeset("UTF-8");
    sim = SimState{};
    initDefaults();
    sim.lastKey = 'k';
    setupDialogue();
    printResult("result");
}

// The start-up dialogue as a job of an interactive shell: in its own process
// group in the terminal's foreground (a stop of the session leader's own group
// would be ignored), its id printed for the test.
void jobChild()
{
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        std::printf("[job %d]", static_cast<int>(getpid()));
        std::fflush(stdout);
        // Wait until the session leader has made this group the foreground one.
        for (int i = 0; i < 5000 && tcgetpgrp(STDIN_FILENO) != getpgrp(); ++i) usleep(1000);
        guardedDialogueChild();
        _exit(0);
    }
    setpgid(job, job);
    std::signal(SIGTTOU, SIG_IGN);
    tcsetpgrp(STDIN_FILENO, job);
    int status = 0;
    while (waitpid(job, &status, 0) < 0 && errno == EINTR) {
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status));
}

// Three single-key reads, then one number, each reported.
void keysChild()
{
    conSetStreams(nullptr, nullptr);
    conSetCodeset(childCodeset);
    for (int i = 0; i < 3; ++i) {
        const int c = conReadKey();
        std::printf("[key %d]", c);
        std::fflush(stdout);
    }
    int n = 0;
    const int r = conScanf("%d", &n);
    std::printf("[num %d %d]\n", r, n);
    std::fflush(stdout);
}

TEST(DialogueOnTerminal, AnswersNeedNoEnterAndAreNotEchoed)
{
    Pty p;
    ASSERT_TRUE(start(&p, dialogueChild));
    release(&p);

    ASSERT_TRUE(readUntil(&p, Q1));
    ASSERT_TRUE(waitMode(p, true));
    termios atKey;
    ASSERT_EQ(tcgetattr(p.master, &atKey), 0);
    EXPECT_EQ(atKey.c_lflag & ECHO, 0u);
    EXPECT_EQ(atKey.c_lflag & ICANON, 0u);
    EXPECT_NE(atKey.c_lflag & ISIG, 0u);  // Ctrl-C still interrupts
    type(p, "n");  // one key, no Enter

    ASSERT_TRUE(readUntil(&p, Q2)) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "n");

    ASSERT_TRUE(readUntil(&p, "[result")) << p.text();
    const int status = finish(&p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const std::string out = p.text();
    // Nothing appears between a question and the next text: no echo of the keys.
    EXPECT_NE(out.find(std::string(Q1) + Q2), std::string::npos) << out;
    EXPECT_NE(out.find(std::string(Q2) + REPORT_HEAD), std::string::npos) << out;
    EXPECT_NE(out.find("type=1 "), std::string::npos);
    EXPECT_NE(out.find("xamax=2 yamax=2 same=1]"), std::string::npos) << out;
    termios after;
    ASSERT_EQ(tcgetattr(p.master, &after), 0);
    EXPECT_TRUE(sameMode(p.initial, after));
    close(p.master);
}

TEST(DialogueOnTerminal, AKeyTypedBeforeTheQuestionAnswersIt)
{
    Pty p;
    ASSERT_TRUE(start(&p, dialogueChild));
    // The key reaches the terminal while it is still in line mode, before the
    // child has printed anything: the terminal echoes it there.
    type(p, "y");
    ASSERT_TRUE(readUntil(&p, "y"));
    release(&p);

    // 'y' answered the first question: straight on to the path menu.
    ASSERT_TRUE(readUntil(&p, "入力 c=")) << p.text();
    EXPECT_EQ(p.text().find(Q2), std::string::npos);
    // The number entries are ordinary lines again, with echo.
    ASSERT_TRUE(waitMode(p, false));
    termios lineMode;
    ASSERT_EQ(tcgetattr(p.master, &lineMode), 0);
    EXPECT_TRUE(sameMode(p.initial, lineMode));
    type(p, "1\n");
    ASSERT_TRUE(readUntil(&p, "R θf=")) << p.text();
    type(p, "0.5 45\n");
    ASSERT_TRUE(readUntil(&p, "xamax yamax=")) << p.text();
    type(p, "1.5 2.5\n");
    ASSERT_TRUE(readUntil(&p, "[result")) << p.text();
    const int status = finish(&p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const std::string out = p.text();
    char want[128];
    std::snprintf(want, sizeof want, "[result type=1 sEnd=%.9f phscale=2 xamax=1.5 yamax=2.5 same=1]",
                  45 * 0.0174532925);
    EXPECT_NE(out.find(want), std::string::npos) << out;
    EXPECT_NE(out.find("入力 c=1\n"), std::string::npos) << out;  // echoed by the terminal
    close(p.master);
}

TEST(DialogueOnTerminal, CtrlDAtTheQuestionChangesNothing)
{
    Pty p;
    ASSERT_TRUE(start(&p, dialogueChild));
    release(&p);
    ASSERT_TRUE(readUntil(&p, Q1));
    ASSERT_TRUE(waitMode(p, true));
    type(p, "\x04");
    ASSERT_TRUE(readUntil(&p, "[result")) << p.text();
    finish(&p);

    const std::string out = p.text();
    EXPECT_NE(out.find(std::string(Q1) + INPUT_ENDED), std::string::npos) << out;
    EXPECT_EQ(out.find(Q2), std::string::npos);
    EXPECT_EQ(out.find("(1) CP運動種類の変更"), std::string::npos);
    EXPECT_NE(out.find("[result type=1 "), std::string::npos);
    EXPECT_NE(out.find("same=1]"), std::string::npos);
    close(p.master);
}

TEST(DialogueOnTerminal, InterruptOrTerminationDuringTheKeyRestoresTheTerminal)
{
    for (int sig : {SIGINT, SIGTERM}) {
        Pty p;
        ASSERT_TRUE(start(&p, guardedDialogueChild));
        release(&p);
        ASSERT_TRUE(readUntil(&p, Q1));
        ASSERT_TRUE(waitMode(p, true));
        if (sig == SIGINT)
            type(p, "\x03");  // Ctrl-C on the terminal
        else
            kill(p.pid, SIGTERM);
        const int status = finish(&p);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
        termios after;
        ASSERT_EQ(tcgetattr(p.master, &after), 0);
        EXPECT_TRUE(sameMode(p.initial, after)) << sig;
        close(p.master);
    }
}

TEST(KeyReadOnTerminal, KeysTypedTogetherAreTakenOneByOne)
{
    Pty p;
    ASSERT_TRUE(start(&p, keysChild));
    release(&p);
    ASSERT_TRUE(waitMode(p, true));
    type(p, "ab");  // two keys in one burst
    ASSERT_TRUE(readUntil(&p, "[key 98]")) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "c");
    ASSERT_TRUE(readUntil(&p, "[key 99]")) << p.text();
    ASSERT_TRUE(waitMode(p, false));
    type(p, "42\n");
    ASSERT_TRUE(readUntil(&p, "[num")) << p.text();
    finish(&p);
    const std::string out = p.text();
    // No key echoed, none lost, and the line entry after them is echoed as usual.
    EXPECT_NE(out.find("[key 97][key 98][key 99]42\n[num 1 42]"), std::string::npos) << out;
    termios after;
    ASSERT_EQ(tcgetattr(p.master, &after), 0);
    EXPECT_TRUE(sameMode(p.initial, after));
    close(p.master);
}

// ---------------------------------------------------------------- whole keys

// The text in the codeset, as the child writes it (UTF-8 unchanged).
std::string inCodeset(const char* codeset, const std::string& utf8)
{
    if (std::strcmp(codeset, "UTF-8") == 0) return utf8;
    iconv_t cd = iconv_open(codeset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
    std::string out(utf8.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(utf8.data());
    size_t srcLeft = utf8.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

struct WholeKeyCase {
    const char* codeset;
    const char* first;   // the key at the first question
    const char* second;  // the key at the second
};

TEST(DialogueOnTerminal, AFullWidthKeyOrAnEscapeSequenceIsOneAnswer)
{
    const WholeKeyCase cases[] = {
        {"UTF-8", "\xEF\xBD\x8E", "\x1b[A"},    // full-width n, arrow up
        {"UTF-8", "\x1b[B", "\xEF\xBD\x8E"},    // arrow down, full-width n
        {"UTF-8", "\x1bOP", "\x1b[15~"},        // F1 and F5 of xterm
        {"UTF-8", "\x1b[[A", "\xE3\x81\x82"},   // F1 of the Linux console, hiragana a
        {"EUC-JP", "\xA3\xEE", "\x1b[C"},       // full-width n, arrow right
        {"EUC-JP", "\x8E\xB1", "\xA3\xF9"},     // half-width katakana a, full-width y
        {"SHIFT_JIS", "\x82\x8E", "\x1b[D"},    // full-width n, arrow left
        {"SHIFT_JIS", "\xB1", "\x82\x99"},      // half-width katakana a, full-width y
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.codeset) + " first key " + std::to_string(static_cast<unsigned char>(c.first[0])) +
                     ", second " + std::to_string(static_cast<unsigned char>(c.second[0])));
        childCodeset = c.codeset;
        Pty p;
        ASSERT_TRUE(start(&p, dialogueChild));
        release(&p);
        const std::string q1 = inCodeset(c.codeset, Q1), q2 = inCodeset(c.codeset, Q2);
        ASSERT_FALSE(q1.empty());
        ASSERT_TRUE(readUntil(&p, q1));
        ASSERT_TRUE(waitMode(p, true));
        type(p, c.first);
        ASSERT_TRUE(readUntil(&p, q2)) << p.text();
        ASSERT_TRUE(waitMode(p, true));
        type(p, c.second);
        // Neither was 'y' or 'n': the full entry, whose first line is read whole.
        ASSERT_TRUE(readUntil(&p, inCodeset(c.codeset, "入力 c="))) << p.text();
        ASSERT_TRUE(waitMode(p, false));
        type(p, "2\n");
        ASSERT_TRUE(readUntil(&p, " L A=")) << p.text();
        type(p, "2 0.3\n");
        ASSERT_TRUE(readUntil(&p, "xamax yamax=")) << p.text();
        type(p, "1.5 2.5\n");
        ASSERT_TRUE(readUntil(&p, "[result")) << p.text();
        const int status = finish(&p);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const std::string out = p.text();
        EXPECT_NE(out.find("[result type=2 sEnd=2.000000000 phscale=0.4 xamax=1.5 yamax=2.5 same=1]"), std::string::npos)
            << out;
        // Each question asked once, no key echoed behind it, nothing refused.
        EXPECT_NE(out.find(q1 + q2), std::string::npos);
        EXPECT_EQ(out.find(q2, out.find(q2) + 1), std::string::npos);
        EXPECT_EQ(out.find(inCodeset(c.codeset, "入力が不正です")), std::string::npos) << out;
        close(p.master);
    }
    childCodeset = "UTF-8";
}

TEST(KeyReadOnTerminal, KeysOfSeveralBytesAreTakenWholeAlsoInOneBurst)
{
    struct {
        const char* codeset;
        const char* burst;     // typed at once
        const char* expected;  // the keys reported, then the number
    } cases[] = {
        {"UTF-8", "\x1b[Ay\xEF\xBD\x8E", "[key 27][key 121][key 239]42\n[num 1 42]"},
        {"UTF-8", "\x1b[1;5Cn\x1bOQ", "[key 27][key 110][key 27]42\n[num 1 42]"},
        {"EUC-JP", "\xA3\xEE\x8F\xB0\xA1n", "[key 163][key 143][key 110]42\n[num 1 42]"},
        {"SHIFT_JIS", "\x82\x8E\xB1\x88\x9F", "[key 130][key 177][key 136]42\n[num 1 42]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codeset);
        childCodeset = c.codeset;
        Pty p;
        ASSERT_TRUE(start(&p, keysChild));
        release(&p);
        ASSERT_TRUE(waitMode(p, true));
        type(p, c.burst);
        // All three keys are reported before the number is typed: between two
        // key reads the terminal is briefly back in line mode and would echo it.
        const std::string keys = std::string(c.expected).substr(0, std::string(c.expected).find("42"));
        ASSERT_TRUE(readUntil(&p, keys.c_str(), WAIT_MS)) << p.text();
        ASSERT_TRUE(waitMode(p, false));
        type(p, "42\n");
        ASSERT_TRUE(readUntil(&p, "[num")) << p.text();
        finish(&p);
        EXPECT_NE(p.text().find(c.expected), std::string::npos) << p.text();
        close(p.master);
    }
    childCodeset = "UTF-8";
}

TEST(KeyReadOnTerminal, ALoneEscapeIsOneKeyAndTheNextKeyIsItsOwn)
{
    Pty p;
    ASSERT_TRUE(start(&p, keysChild));
    release(&p);
    ASSERT_TRUE(waitMode(p, true));
    type(p, "\x1b");  // ESC alone: after a short wait it counts by itself
    ASSERT_TRUE(readUntil(&p, "[key 27]")) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "n");
    ASSERT_TRUE(readUntil(&p, "[key 110]")) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "\xEF\xBD");  // a character cut short stays one key
    ASSERT_TRUE(readUntil(&p, "[key 239]")) << p.text();
    ASSERT_TRUE(waitMode(p, false));
    type(p, "7\n");
    ASSERT_TRUE(readUntil(&p, "[num")) << p.text();
    finish(&p);
    EXPECT_NE(p.text().find("[key 27][key 110][key 239]7\n[num 1 7]"), std::string::npos) << p.text();
    close(p.master);
}

// ---------------------------------------------------------------- later dialogues

TEST(DialogueOnTerminal, CtrlDAtANumberDoesNotEndTheNextDialogue)
{
    Pty p;
    ASSERT_TRUE(start(&p, windowDialoguesChild));
    release(&p);
    ASSERT_TRUE(readUntil(&p, "xamax yamax=")) << p.text();
    ASSERT_TRUE(waitMode(p, false));
    type(p, "\x04");  // Ctrl-D on an empty line: end of input for this dialogue
    ASSERT_TRUE(readUntil(&p, "[first")) << p.text();
    // The 'k' that follows asks and takes every entry again.
    ASSERT_TRUE(readUntil(&p, "入力 c=")) << p.text();
    type(p, "3\n");
    ASSERT_TRUE(readUntil(&p, "L R=")) << p.text();
    type(p, "0.6 0.25\n");
    ASSERT_TRUE(readUntil(&p, "xamax yamax=", WAIT_MS)) << p.text();
    type(p, "1.5 2.5\n");
    ASSERT_TRUE(readUntil(&p, "[second")) << p.text();
    finish(&p);
    const std::string out = p.text();
    EXPECT_NE(out.find("[first type=1 "), std::string::npos) << out;
    EXPECT_NE(out.find("xamax=2 yamax=2]"), std::string::npos) << out;
    EXPECT_NE(out.find("[second type=3 sEnd=1.985398163 xamax=1.5 yamax=2.5]"), std::string::npos) << out;
    // The end of input was noted in the first dialogue only.
    const size_t second = out.find("(1) CP運動種類の変更");
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(out.find(INPUT_ENDED), std::string::npos);
    EXPECT_EQ(out.find(INPUT_ENDED, second), std::string::npos) << out;
    close(p.master);
}

TEST(DialogueOnTerminal, KeysTypedWhileTheWindowWasInUseAreNoAnswers)
{
    Pty p;
    ASSERT_TRUE(start(&p, windowDialogueChild));
    // Typed before the dialogue starts, as into the terminal beside the window:
    // a whole line and a part of one. The terminal echoes them at once.
    type(p, "5\n1 1\nabc");
    ASSERT_TRUE(readUntil(&p, "abc"));
    release(&p);
    ASSERT_TRUE(readUntil(&p, "入力 c=")) << p.text();
    // Typed after the key list appeared: kept, also a line typed ahead of a prompt.
    type(p, "2\n2 0.3\n");
    ASSERT_TRUE(readUntil(&p, "xamax yamax=")) << p.text();
    type(p, "1.5 2.5\n");
    ASSERT_TRUE(readUntil(&p, "[result")) << p.text();
    finish(&p);
    const std::string out = p.text();
    EXPECT_NE(out.find("[result type=2 sEnd=2.000000000 xamax=1.5 yamax=2.5]"), std::string::npos) << out;
    EXPECT_EQ(out.find("入力が不正です"), std::string::npos) << out;
    close(p.master);
}

// ---------------------------------------------------------------- stop, quit

TEST(DialogueOnTerminal, AStopDuringTheKeyHandsTheTerminalBackAndTheContinuationTakesItAgain)
{
    Pty p;
    ASSERT_TRUE(start(&p, jobChild));
    release(&p);
    ASSERT_TRUE(readUntil(&p, "[job ")) << p.text();
    const std::string out0 = p.text();
    const pid_t job = static_cast<pid_t>(std::atoi(out0.c_str() + out0.find("[job ") + 5));
    ASSERT_GT(job, 0);
    ASSERT_TRUE(readUntil(&p, Q1));
    ASSERT_TRUE(waitMode(p, true));

    type(p, "\x1a");  // Ctrl-Z
    ASSERT_TRUE(waitMode(p, false)) << "the terminal stayed in single-key mode during the stop";
    termios stopped;
    ASSERT_EQ(tcgetattr(p.master, &stopped), 0);
    EXPECT_TRUE(sameMode(p.initial, stopped));
    // Stopped, not ended.
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(p.pid), &info, WEXITED | WNOHANG | WNOWAIT), 0);
    EXPECT_EQ(info.si_pid, 0);

    kill(job, SIGCONT);  // fg
    ASSERT_TRUE(waitMode(p, true)) << "single-key mode not taken again after the continuation";
    termios resumed;
    ASSERT_EQ(tcgetattr(p.master, &resumed), 0);
    EXPECT_EQ(resumed.c_lflag & ECHO, 0u);
    type(p, "n");  // one key, no Enter: answers the first question
    ASSERT_TRUE(readUntil(&p, Q2)) << p.text();
    ASSERT_TRUE(waitMode(p, true));
    type(p, "n");
    ASSERT_TRUE(readUntil(&p, "[result")) << p.text();
    const int status = finish(&p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string out = p.text();
    EXPECT_NE(out.find(std::string(Q1) + Q2 + REPORT_HEAD), std::string::npos) << out;  // nothing echoed
    EXPECT_NE(out.find("[result type=1 "), std::string::npos) << out;
    EXPECT_NE(out.find("same=1]"), std::string::npos) << out;
    termios after;
    ASSERT_EQ(tcgetattr(p.master, &after), 0);
    EXPECT_TRUE(sameMode(p.initial, after));
    close(p.master);
}

TEST(DialogueOnTerminal, QuitDuringTheKeyRestoresTheTerminal)
{
    Pty p;
    ASSERT_TRUE(start(&p, guardedDialogueChild));
    release(&p);
    ASSERT_TRUE(readUntil(&p, Q1));
    ASSERT_TRUE(waitMode(p, true));
    type(p, "\x1c");  // Ctrl-backslash
    const int status = finish(&p);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGQUIT) << status;
    termios after;
    ASSERT_EQ(tcgetattr(p.master, &after), 0);
    EXPECT_TRUE(sameMode(p.initial, after));
    close(p.master);
}

}  // namespace
