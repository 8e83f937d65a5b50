// The answer key's command line and key notation: accepted forms, every refusal
// with its line, the bounds, and the path set up exactly as the dialogue sets it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "answer/args.h"
#include "app/dialogue.h"
#include "core/state.h"
#include "test_support.h"

namespace {

KeySession session;  // large: kept out of the test's stack

struct Parsed {
    bool ok;
    std::string console;
};

Parsed keysOf(const std::string& text)
{
    captureBegin();
    const bool ok = parseKeys(text.data(), static_cast<long>(text.size()), &session);
    return {ok, captureEnd()};
}

std::vector<std::pair<char, long>> runsOf(const KeySession& k)
{
    std::vector<std::pair<char, long>> v;
    for (int i = 0; i < k.nRuns; ++i) v.emplace_back(static_cast<char>(k.run[i].key), k.run[i].count);
    return v;
}

struct Args {
    ArgsResult result;
    AnswerArgs a;
    std::string console;
};

// The words stay alive until the next call: the parsed options point into them.
Args argsOf(std::vector<std::string> words)
{
    freshDefaults();
    static std::vector<std::string> kept;
    kept = std::move(words);
    std::vector<char*> argv;
    static char prog[] = "cptoc-answer";
    argv.push_back(prog);
    for (auto& w : kept) argv.push_back(&w[0]);
    Args r;
    captureBegin();
    r.result = parseAnswerArgs(static_cast<int>(argv.size()), argv.data(), &r.a);
    r.console = captureEnd();
    return r;
}

int lines(const std::string& s)
{
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

}  // namespace

TEST(KeyNotation, ReadsKeysWithCountsInOrder)
{
    const Parsed p = keysOf("s*63 c s*8 f s*80");
    ASSERT_TRUE(p.ok) << p.console;
    EXPECT_EQ(p.console, "");
    const std::vector<std::pair<char, long>> want = {{'s', 63}, {'c', 1}, {'s', 8}, {'f', 1}, {'s', 80}};
    EXPECT_EQ(runsOf(session), want);
    EXPECT_EQ(session.presses, 153);
}

TEST(KeyNotation, BlanksOfAnyKindSeparateAndEqualNeighboursMerge)
{
    const Parsed p = keysOf("  \ts\ns*2\r\n s  0\tw W x X y Y t r a ");
    ASSERT_TRUE(p.ok) << p.console;
    const std::vector<std::pair<char, long>> want = {{'s', 4}, {'0', 1}, {'w', 1}, {'W', 1}, {'x', 1}, {'X', 1},
                                                     {'y', 1}, {'Y', 1}, {'t', 1}, {'r', 1}, {'a', 1}};
    EXPECT_EQ(runsOf(session), want);
    EXPECT_EQ(session.presses, 14);

    const Parsed empty = keysOf(" \n\t ");
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(session.nRuns, 0);
    EXPECT_EQ(session.presses, 0);
}

TEST(KeyNotation, KeysThatLeaveTheWindowAreRefusedWithOneLine)
{
    for (const char* text : {"s k", "u", "s*3 k*2", "ESC", "s Escape", "esc", "\x1b", "s*2 \x1b*3"}) {
        const Parsed p = keysOf(text);
        EXPECT_FALSE(p.ok) << text;
        EXPECT_EQ(lines(p.console), 1) << p.console;
        EXPECT_NE(p.console.find("キー表記が不正です"), std::string::npos) << p.console;
    }
    EXPECT_NE(keysOf("s k").console.find("k と u は使えません"), std::string::npos);
    // Upper-case letters do nothing in the window but W, X and Y.
    EXPECT_NE(keysOf("s*3 S").console.find("S は窓では何もしないキーです(大文字で使うのは W X Y だけ、小文字の s では?)"),
              std::string::npos);
    EXPECT_FALSE(keysOf("F").ok);
    EXPECT_TRUE(keysOf("W X Y w x y").ok);
    EXPECT_NE(keysOf("ESC").console.find("ESC は使えません"), std::string::npos);
}

TEST(KeyNotation, MalformedTokensAreRefusedNamingTheToken)
{
    const std::vector<std::string> bad = {"ss", "s*", "s*0", "s*-1", "s*1x", "s**2", "s+3", "s*2.5", "\xc3\xa9",
                                          "s*99999999999999999999999"};
    for (const std::string& text : bad) {
        const Parsed p = keysOf("c " + text + " f");
        EXPECT_FALSE(p.ok) << text;
        EXPECT_EQ(lines(p.console), 1) << p.console;
        // The refused token is quoted (up to its first 40 bytes).
        EXPECT_NE(p.console.find("\"" + text.substr(0, 40)), std::string::npos) << p.console;
    }
}

TEST(KeyNotation, CountsAndTotalsAreBounded)
{
    EXPECT_TRUE(keysOf("s*100000").ok);
    EXPECT_EQ(session.presses, KEY_PRESS_MAX);
    EXPECT_FALSE(keysOf("s*100001").ok);
    EXPECT_FALSE(keysOf("s*60000 c s*40000").ok);  // one over in total
    EXPECT_TRUE(keysOf("s*60000 c s*39999").ok);

    // Runs: KEY_RUN_CAP alternating keys fit, one more does not.
    std::string text;
    for (int i = 0; i < KEY_RUN_CAP; ++i) text += i % 2 ? "c " : "s ";
    EXPECT_TRUE(keysOf(text).ok);
    EXPECT_EQ(session.nRuns, KEY_RUN_CAP);
    const Parsed over = keysOf(text + (KEY_RUN_CAP % 2 ? "c" : "s"));
    EXPECT_FALSE(over.ok);
    EXPECT_EQ(lines(over.console), 1);
}

TEST(KeyNotation, KeyFilesAreReadWholeOrRefused)
{
    char path[] = "/tmp/cptoc_keys_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE* f = fdopen(fd, "w");
    std::fputs("s*10\nc\n\ns*3 f\n", f);
    std::fclose(f);
    captureBegin();
    EXPECT_TRUE(readKeysFile(path, &session));
    captureEnd();
    const std::vector<std::pair<char, long>> want = {{'s', 10}, {'c', 1}, {'s', 3}, {'f', 1}};
    EXPECT_EQ(runsOf(session), want);

    // A file one byte over the capacity is refused as a whole.
    f = std::fopen(path, "w");
    const std::string chunk(4096, ' ');
    for (long n = 0; n <= KEYS_TEXT_CAP; n += static_cast<long>(chunk.size())) std::fputs(chunk.c_str(), f);
    std::fclose(f);
    captureBegin();
    EXPECT_FALSE(readKeysFile(path, &session));
    EXPECT_NE(captureEnd().find("大きすぎます"), std::string::npos);

    std::remove(path);
    captureBegin();
    EXPECT_FALSE(readKeysFile(path, &session));
    const std::string msg = captureEnd();
    EXPECT_NE(msg.find(path), std::string::npos);
    EXPECT_EQ(lines(msg), 1);
}

TEST(AnswerCommandLine, TypesByNumberOrNameWithTheirDimensions)
{
    const Args arc = argsOf({"1", "0.5", "90", "2", "2"});
    ASSERT_EQ(arc.result, ARGS_OK) << arc.console;
    EXPECT_EQ(arc.console, "");
    EXPECT_EQ(arc.a.type, CP_ARC);
    EXPECT_DOUBLE_EQ(arc.a.d1, 0.5);
    EXPECT_DOUBLE_EQ(arc.a.d2, 90.0);
    EXPECT_DOUBLE_EQ(arc.a.xamax, 2.0);

    const char* names[] = {nullptr, "arc", "SINE", "u", "Slalom", "cam", "cycloid"};
    for (int type = 1; type <= 6; ++type) {
        const Args r = argsOf({names[type], "0.4", "3", "1.5", "2.5"});
        ASSERT_EQ(r.result, ARGS_OK) << names[type] << r.console;
        EXPECT_EQ(r.a.type, type);
        EXPECT_DOUBLE_EQ(r.a.yamax, 2.5);
        if (type == CP_SLALOM) {
            EXPECT_EQ(r.a.count, 3);
        }
    }

    const Args opts = argsOf({"--png", "a.png", "cam", "0.5", "0.5", "--keys", "s*3 c", "2", "2", "--csv", "t.csv"});
    ASSERT_EQ(opts.result, ARGS_OK) << opts.console;
    EXPECT_STREQ(opts.a.png, "a.png");
    EXPECT_STREQ(opts.a.csv, "t.csv");
    EXPECT_STREQ(opts.a.keysText, "s*3 c");
    EXPECT_EQ(opts.a.svg, nullptr);
    EXPECT_EQ(argsOf({"1", "--help"}).result, ARGS_HELP);
}

TEST(AnswerCommandLine, RefusedArgumentsNameTheEntryAndKeepNothing)
{
    struct Case {
        std::vector<std::string> words;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{}, "5 個が必要です"},
        {{"1", "0.5", "90", "2"}, "5 個が必要です"},
        {{"1", "0.5", "90", "2", "2", "3"}, "5 個が必要です"},
        {{"7", "0.5", "90", "2", "2"}, "c=7"},
        {{"spiral", "0.5", "90", "2", "2"}, "TYPE の spiral は arc sine u slalom cam cycloid の名前か 1 から 6"},
        {{"1", "-0.5", "90", "2", "2"}, "半径R"},
        {{"1", "0.5", "abc", "2", "2"}, "円弧角θf"},
        {{"1", "0.5", "4000", "2", "2"}, "円弧角θf"},
        {{"2", "25", "0.5", "2", "2"}, "波長L"},
        {{"4", "0.2", "2.5", "2", "2"}, "円個数N"},
        {{"4", "0.2", "21", "2", "2"}, "円個数N"},
        {{"5", "0.5", "nan", "2", "2"}, "立ち上がり量H"},
        {{"1", "0.5", "90", "0", "2"}, "xamax"},
        {{"1", "0.5", "90", "2", "inf"}, "yamax"},
        {{"1", "0.5", "90", "2", "2", "--bogus", "x"}, "不明なオプションです: --bogus"},
        {{"1", "0.5", "90", "2", "2", "--png"}, "--png の後に値がありません"},
        {{"1", "0.5", "90", "2", "2", "--keys", "s", "--keys-file", "k.txt"}, "どちらか一方"},
    };
    for (const Case& c : cases) {
        const Args r = argsOf(c.words);
        std::string all;
        for (const auto& w : c.words) all += w + " ";
        EXPECT_EQ(r.result, ARGS_BAD) << all;
        EXPECT_NE(r.console.find(c.says), std::string::npos) << all << "\n" << r.console;
    }
    // Nothing is kept from a command line: no refusal names an old value.
    for (const Case& c : cases) EXPECT_EQ(argsOf(c.words).console.find("旧値"), std::string::npos);
    // Two bad values: both are named, each on its own line.
    const Args two = argsOf({"3", "-1", "x", "2", "2"});
    EXPECT_EQ(two.result, ARGS_BAD);
    EXPECT_NE(two.console.find("直線部L"), std::string::npos);
    EXPECT_NE(two.console.find("円弧部半径R"), std::string::npos);
    EXPECT_EQ(lines(two.console), 2);
}

// applyAnswerArgs against the real dialogue given the same entries: every value
// of the path, its tables, the goal and the limits agree bit for bit.
TEST(AnswerCommandLine, PathIsSetUpExactlyAsTheDialogueSetsIt)
{
    struct Case {
        std::vector<std::string> words;
        const char* typed;
    };
    const std::vector<Case> cases = {
        {{"1", "0.7", "120", "1.5", "2.5"}, "y\n1\n0.7 120\n1.5 2.5\n"},
        {{"2", "1.2", "0.3", "3", "1"}, "y\n2\n1.2 0.3\n3 1\n"},
        {{"3", "0.5", "0.25", "2", "2"}, "y\n3\n0.5 0.25\n2 2\n"},
        {{"4", "0.3", "5", "2", "4"}, "y\n4\n0.3 5\n2 4\n"},
        {{"5", "0.6", "0.2", "1", "1"}, "y\n5\n0.6 0.2\n1 1\n"},
        {{"6", "0.45", "0.35", "2.2", "1.8"}, "y\n6\n0.45 0.35\n2.2 1.8\n"},
    };
    for (const Case& c : cases) {
        const Args r = argsOf(c.words);
        ASSERT_EQ(r.result, ARGS_OK) << r.console;
        applyAnswerArgs(r.a);
        static SimState mine;
        mine = sim;

        freshDefaults();
        feedInput(c.typed);
        captureBegin();
        sim.lastKey = '0';
        setupDialogue();
        captureEnd();
        feedInput(nullptr);
        const SimState& dlg = sim;

        const int t = dlg.cpType;
        EXPECT_EQ(mine.cpType, t) << c.typed;
        EXPECT_EQ(mine.sEnd[t], dlg.sEnd[t]) << c.typed;
        EXPECT_EQ(mine.cpStart[t][0], dlg.cpStart[t][0]);
        EXPECT_EQ(mine.cpStart[t][1], dlg.cpStart[t][1]);
        EXPECT_EQ(mine.cpEnd[t][0], dlg.cpEnd[t][0]);
        EXPECT_EQ(mine.cpEnd[t][1], dlg.cpEnd[t][1]);
        EXPECT_EQ(mine.dxScale[t], dlg.dxScale[t]);
        EXPECT_EQ(mine.dyScale[t], dlg.dyScale[t]);
        EXPECT_EQ(mine.xf, dlg.xf);
        EXPECT_EQ(mine.yf, dlg.yf);
        EXPECT_EQ(mine.xamax, dlg.xamax);
        EXPECT_EQ(mine.yamax, dlg.yamax);
        EXPECT_EQ(mine.arcR, dlg.arcR);
        EXPECT_EQ(mine.sinL, dlg.sinL);
        EXPECT_EQ(mine.sinA, dlg.sinA);
        EXPECT_EQ(mine.sinK, dlg.sinK);
        EXPECT_EQ(mine.uL, dlg.uL);
        EXPECT_EQ(mine.uR, dlg.uR);
        EXPECT_EQ(mine.uArc, dlg.uArc);
        EXPECT_EQ(mine.slmR, dlg.slmR);
        EXPECT_EQ(mine.slmN, dlg.slmN);
        EXPECT_EQ(mine.camL, dlg.camL);
        EXPECT_EQ(mine.camH, dlg.camH);
        EXPECT_EQ(mine.camA, dlg.camA);
        EXPECT_EQ(mine.cycL, dlg.cycL);
        EXPECT_EQ(mine.cycH, dlg.cycH);
        EXPECT_EQ(mine.cycC, dlg.cycC);
        EXPECT_EQ(mine.cycW, dlg.cycW);
    }
}

// The GNU forms of getopt_long: each row is a command line and what it must give.
TEST(AnswerCommandLine, GnuOptionFormsAndOneRefusalEach)
{
    struct Case {
        std::vector<std::string> words;
        ArgsResult result;
        const char* says;  // the one refusal line ("" when accepted)
    };
    const std::vector<Case> cases = {
        {{"--csv=t.csv", "1", "0.5", "90", "2", "2"}, ARGS_OK, ""},
        {{"1", "0.5", "--csv", "t.csv", "90", "2", "2"}, ARGS_OK, ""},
        {{"--", "1", "0.5", "90", "2", "2"}, ARGS_OK, ""},
        {{"--keys=s*3 c", "1", "0.5", "90", "2", "2"}, ARGS_OK, ""},
        {{"--version", "1"}, ARGS_VERSION, ""},
        {{"1", "0.5", "90", "2", "2", "--keys", ""}, ARGS_BAD, "オプション --keys の値が空です"},
        {{"1", "0.5", "90", "2", "2", "--keys=s", "--keys", "c"}, ARGS_BAD, "オプション --keys が2回以上あります"},
        {{"1", "0.5", "90", "2", "2", "--csv=a.csv", "--csv=b.csv"}, ARGS_BAD, "オプション --csv が2回以上あります"},
        {{"1", "0.5", "90", "2", "2", "--gif=a.gif"}, ARGS_BAD, "不明なオプションです: --gif=a.gif"},
        {{"1", "0.5", "90", "2", "2", "-q"}, ARGS_BAD, "不明なオプションです: -q"},
        {{"1", "0.5", "90", "2", "2", "--png", "out.jpg"}, ARGS_BAD,
         "出力ファイル名 out.jpg の拡張子が --png の形式(.png)と違います"},
        {{"1", "0.5", "90", "2", "2", "--svg=dir.x/pic"}, ARGS_OK, ""},  // no extension: taken
        {{"--", "1", "0.5", "90", "2", "--csv=x.csv"}, ARGS_BAD, "yamax は数値として読めません"},  // a value after --
        {{"--session"}, ARGS_BAD, "--session の後に記録ファイルがありません"},
        {{"--session", "a.txt", "--keys", "s"}, ARGS_BAD, "--keys と --keys-file は使えません"},
    };
    for (const Case& c : cases) {
        const Args r = argsOf(c.words);
        std::string all;
        for (const auto& w : c.words) all += w + " ";
        EXPECT_EQ(r.result, c.result) << all << "\n" << r.console;
        if (c.says[0] == '\0') {
            EXPECT_EQ(r.console, "") << all;
        } else {
            EXPECT_EQ(lines(r.console), 1) << all << "\n" << r.console;
            EXPECT_NE(r.console.find(c.says), std::string::npos) << all << "\n" << r.console;
        }
    }
    // Values as given, wherever the options stand; a negative number is a value.
    const Args v = argsOf({"--keys=s*3 c", "cam", "0.5", "--csv", "t.csv", "0.5", "2", "2"});
    EXPECT_STREQ(v.a.keysText, "s*3 c");
    EXPECT_STREQ(v.a.csv, "t.csv");
    EXPECT_DOUBLE_EQ(v.a.d2, 0.5);
    EXPECT_NE(argsOf({"1", "-0.5", "90", "2", "2"}).console.find("半径R=-0.5 は 0 より大きい"), std::string::npos);
    const Args s = argsOf({"a.txt", "--session", "b.txt", "--csv=c.csv"});
    ASSERT_EQ(s.result, ARGS_OK) << s.console;
    ASSERT_EQ(s.a.nFiles, 2);
    EXPECT_STREQ(s.a.files[0], "a.txt");
    EXPECT_STREQ(s.a.files[1], "b.txt");
}
