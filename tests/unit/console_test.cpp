// The console seam on memory streams: output conversion to Japanese locale
// encodings against iconv itself, formatted scanning, line discarding and piped keys.
#include <gtest/gtest.h>

#include <iconv.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "core/console.h"
#include "test_support.h"

namespace {

// Converts a UTF-8 text to the codeset with iconv directly, shift state closed;
// empty when iconv cannot convert it.
std::string iconvReference(const char* codeset, const std::string& utf8)
{
    iconv_t cd = iconv_open(codeset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
    std::string out(utf8.size() * 8 + 16, '\0');
    char* src = const_cast<char*>(utf8.data());
    size_t srcLeft = utf8.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r == static_cast<size_t>(-1) || srcLeft != 0) {
        iconv_close(cd);
        return std::string();
    }
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

class ConsoleOutput : public ::testing::Test {
protected:
    void TearDown() override
    {
        captureEnd();
        conSetCodeset("UTF-8");  // the other tests expect UTF-8 output
    }
};

const char* const SAMPLE_FMT = "\n  半径R=%5.2f[m] 円弧数N=%d 円弧角θ=%6.2f[deg]（旧値 %g）";

std::string sampleUtf8()
{
    char buf[256];
    std::snprintf(buf, sizeof buf, SAMPLE_FMT, 0.25, 4, 90.0, 0.5);
    return buf;
}

TEST_F(ConsoleOutput, JapaneseCodesetsAreWrittenAsIconvConvertsThem)
{
    for (const char* codeset : {"EUC-JP", "SHIFT_JIS", "CP932", "ISO-2022-JP"}) {
        ASSERT_TRUE(conSetCodeset(codeset)) << codeset;
        captureBegin();
        conPrintf(SAMPLE_FMT, 0.25, 4, 90.0, 0.5);
        const std::string got = captureEnd();
        const std::string want = iconvReference(codeset, sampleUtf8());
        ASSERT_FALSE(want.empty()) << codeset;
        EXPECT_EQ(got, want) << codeset;
        EXPECT_NE(got, sampleUtf8()) << codeset;
    }
}

TEST_F(ConsoleOutput, KnownBytesOfOneCharacter)
{
    ASSERT_TRUE(conSetCodeset("EUC-JP"));
    captureBegin();
    conPrintf("\n円%d", 1);
    EXPECT_EQ(captureEnd(), "\n\xB1\xDF" "1");
    ASSERT_TRUE(conSetCodeset("SJIS"));
    captureBegin();
    conPrintf("\n円");
    EXPECT_EQ(captureEnd(), "\n\x89\x7E");
}

TEST_F(ConsoleOutput, CodesetNamesAreMatchedWithoutRegardToCase)
{
    for (const char* name : {"eucJP", "eucjp", "EUCJP", "Shift-JIS", "shift_jis", "sjis", "windows-31j"}) {
        EXPECT_TRUE(conSetCodeset(name)) << name;
        captureBegin();
        conPrintf("円");
        const std::string got = captureEnd();
        EXPECT_NE(got, "円") << name;
        EXPECT_EQ(got.size(), 2u) << name;
    }
}

TEST_F(ConsoleOutput, OtherCodesetsWriteUtf8Unchanged)
{
    for (const char* name : {"UTF-8", "utf8", "ANSI_X3.4-1968", "ISO-8859-1", "KOI8-R", "NO-SUCH-CODESET", ""}) {
        EXPECT_FALSE(conSetCodeset(name)) << name;
        captureBegin();
        conPrintf(SAMPLE_FMT, 0.25, 4, 90.0, 0.5);
        EXPECT_EQ(captureEnd(), sampleUtf8()) << name;
    }
    EXPECT_FALSE(conSetCodeset(nullptr));
    captureBegin();
    conPrintf("\n描画画面へ");
    EXPECT_EQ(captureEnd(), "\n描画画面へ");
}

TEST_F(ConsoleOutput, AnUnconvertibleTextIsWrittenAsItsOriginalBytes)
{
    ASSERT_TRUE(conSetCodeset("EUC-JP"));
    captureBegin();
    conPrintf("\n円弧 \xF0\x9F\x98\x80 %d", 3);  // an emoji has no EUC-JP form
    EXPECT_EQ(captureEnd(), "\n円弧 \xF0\x9F\x98\x80 3");

    // A byte sequence that is not UTF-8 at all.
    captureBegin();
    conPrintf("\n\xFF\xFE円");
    EXPECT_EQ(captureEnd(), "\n\xFF\xFE円");

    // The next text converts again from a clean state.
    captureBegin();
    conPrintf("\n円");
    EXPECT_EQ(captureEnd(), "\n\xB1\xDF");
}

TEST_F(ConsoleOutput, LongTextsWithManyShiftsStillConvert)
{
    // ISO-2022-JP switches in and out around every character here: the converted
    // text is more than twice as long as the UTF-8 one, and over 16 KiB.
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "a円";
    ASSERT_TRUE(conSetCodeset("ISO-2022-JP"));
    captureBegin();
    conPrintf("%s", text.c_str());
    const std::string got = captureEnd();
    const std::string want = iconvReference("ISO-2022-JP", text);
    ASSERT_GT(want.size(), 2 * text.size());
    ASSERT_GT(want.size(), 16384u);
    EXPECT_EQ(got, want);
}

// ---------------------------------------------------------------- input

class ConsoleInput : public ::testing::Test {
protected:
    void SetUp() override { captureBegin(); }
    void TearDown() override
    {
        captureEnd();
        feedInput(nullptr);
    }
};

TEST_F(ConsoleInput, PipedKeysSkipBlanksAndLineBreaks)
{
    feedInput(" y\n\r\tn N  \n\x1b");
    EXPECT_EQ(conReadKey(), 'y');
    EXPECT_EQ(conReadKey(), 'n');
    EXPECT_EQ(conReadKey(), 'N');
    EXPECT_EQ(conReadKey(), 0x1b);
    EXPECT_EQ(conReadKey(), EOF);
    EXPECT_EQ(conReadKey(), EOF);  // and stays there
    EXPECT_TRUE(conInputEnded());
}

TEST_F(ConsoleInput, KeysAndScansShareOneStream)
{
    feedInput("y 12 0.5\nn");
    EXPECT_EQ(conReadKey(), 'y');
    int n = 0;
    double x = 0;
    EXPECT_EQ(conScanf("%d %lf", &n, &x), 2);
    EXPECT_EQ(n, 12);
    EXPECT_EQ(x, 0.5);
    EXPECT_EQ(conReadKey(), 'n');
}

TEST_F(ConsoleInput, DiscardLineDropsTheRestOfTheLineOnly)
{
    feedInput("abc 7\n42 junk\n\n13");
    int n = -1;
    EXPECT_EQ(conScanf("%d", &n), 0);  // fails at "abc" and leaves n
    EXPECT_EQ(n, -1);
    EXPECT_TRUE(conDiscardLine());
    EXPECT_EQ(conScanf("%d", &n), 1);
    EXPECT_EQ(n, 42);
    EXPECT_TRUE(conDiscardLine());  // " junk\n"
    EXPECT_TRUE(conDiscardLine());  // the empty line
    EXPECT_FALSE(conInputEnded());
    EXPECT_EQ(conScanf("%d", &n), 1);
    EXPECT_EQ(n, 13);
    EXPECT_TRUE(conInputEnded());   // the number ran into the end
    EXPECT_FALSE(conDiscardLine());
    EXPECT_EQ(conScanf("%d", &n), EOF);
}

TEST_F(ConsoleInput, ScanReadsNonFiniteNumbersThatCallersMustJudge)
{
    // The formatted scan itself accepts these; the dialogue refuses them.
    feedInput("nan inf 1e999 -inf");
    double a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(conScanf("%lf %lf %lf %lf", &a, &b, &c, &d), 4);
    EXPECT_TRUE(std::isnan(a));
    EXPECT_TRUE(std::isinf(b) && b > 0);
    EXPECT_TRUE(std::isinf(c) && c > 0);
    EXPECT_TRUE(std::isinf(d) && d < 0);
}

TEST_F(ConsoleInput, AnEmptyInputHasEndedAtOnce)
{
    feedInput("");
    EXPECT_EQ(conReadKey(), EOF);
    int n = 5;
    EXPECT_EQ(conScanf("%d", &n), EOF);
    EXPECT_EQ(n, 5);
    EXPECT_FALSE(conDiscardLine());
    EXPECT_TRUE(conInputEnded());
}

TEST_F(ConsoleInput, PipedKeysAreWholeCharactersAndEscapeSequences)
{
    feedInput("\xEF\xBD\x8Ey\x1b[Bn\x1bOPy\x1b[15~\n\xE3\x81\x82" "n\x1bx");
    EXPECT_EQ(conReadKey(), 0xEF);  // full-width n: one key
    EXPECT_EQ(conReadKey(), 'y');
    EXPECT_EQ(conReadKey(), 0x1b);  // arrow down
    EXPECT_EQ(conReadKey(), 'n');
    EXPECT_EQ(conReadKey(), 0x1b);  // F1
    EXPECT_EQ(conReadKey(), 'y');
    EXPECT_EQ(conReadKey(), 0x1b);  // F5
    EXPECT_EQ(conReadKey(), 0xE3);  // hiragana a
    EXPECT_EQ(conReadKey(), 'n');
    EXPECT_EQ(conReadKey(), 0x1b);  // ESC followed by an ordinary key: two keys
    EXPECT_EQ(conReadKey(), 'x');
    EXPECT_EQ(conReadKey(), EOF);
}

TEST_F(ConsoleInput, PipedKeysFollowTheConsoleCodeset)
{
    ASSERT_TRUE(conSetCodeset("EUC-JP"));
    feedInput("\xA3\xEEy\x8E\xB1n\x8F\xB0\xA1y");
    EXPECT_EQ(conReadKey(), 0xA3);
    EXPECT_EQ(conReadKey(), 'y');
    EXPECT_EQ(conReadKey(), 0x8E);  // half-width katakana: two bytes
    EXPECT_EQ(conReadKey(), 'n');
    EXPECT_EQ(conReadKey(), 0x8F);  // JIS X 0212: three bytes
    EXPECT_EQ(conReadKey(), 'y');
    ASSERT_TRUE(conSetCodeset("SJIS"));
    feedInput("\x82\x8Ey\xB1n");
    EXPECT_EQ(conReadKey(), 0x82);
    EXPECT_EQ(conReadKey(), 'y');
    EXPECT_EQ(conReadKey(), 0xB1);  // half-width katakana: one byte
    EXPECT_EQ(conReadKey(), 'n');
    conSetCodeset("UTF-8");
    // A character cut short by a byte that cannot continue it: that byte is the next key.
    feedInput("\xEF" "y");
    EXPECT_EQ(conReadKey(), 0xEF);
    EXPECT_EQ(conReadKey(), 'y');
}

TEST_F(ConsoleInput, WordsAreReadWholeAcrossLinesOrWithinOne)
{
    feedInput("  12.5\tabc\n\n  x1 \n y\n");
    char w[16];
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);
    EXPECT_STREQ(w, "12.5");
    EXPECT_EQ(conReadWord(w, sizeof w, true), CON_WORD_READ);
    EXPECT_STREQ(w, "abc");
    EXPECT_EQ(conReadWord(w, sizeof w, true), CON_WORD_NONE);  // the line has ended
    EXPECT_EQ(conReadWord(w, sizeof w, true), CON_WORD_NONE);  // and stays at its break
    EXPECT_TRUE(conDiscardLine());
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);  // over the empty line
    EXPECT_STREQ(w, "x1");
    EXPECT_TRUE(conDiscardLine());  // " \n"
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);
    EXPECT_STREQ(w, "y");
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_ENDED);
    EXPECT_TRUE(conInputEnded());
}

TEST_F(ConsoleInput, AWordTooLongForItsBufferIsConsumedWholeAndReadsAsNothing)
{
    const std::string longWord(100, '1');
    feedInput((longWord + " 7\n").c_str());
    char w[8];
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);
    EXPECT_STREQ(w, "");
    EXPECT_EQ(conReadWord(w, sizeof w, true), CON_WORD_READ);
    EXPECT_STREQ(w, "7");
    // Exactly the capacity less one still fits.
    feedInput("1234567 8");
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);
    EXPECT_STREQ(w, "1234567");
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);
    EXPECT_STREQ(w, "8");
    EXPECT_TRUE(conInputEnded());
}

TEST_F(ConsoleInput, AnEndedStreamThatIsNoTerminalStaysEnded)
{
    feedInput("5");
    char w[8];
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);
    EXPECT_TRUE(conInputEnded());
    conForgetInputEnd();
    conDiscardTypeAhead();
    EXPECT_TRUE(conInputEnded());
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_ENDED);
    // Nothing typed ahead on a stream is dropped.
    feedInput("1 2\n");
    conDiscardTypeAhead();
    EXPECT_EQ(conReadWord(w, sizeof w, false), CON_WORD_READ);
    EXPECT_STREQ(w, "1");
}

TEST(ConsoleErrors, TheErrorLineIsConvertedLikeEveryConsoleText)
{
    // Standard error into a file for the time of the test.
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    FILE* tmp = std::tmpfile();
    ASSERT_NE(tmp, nullptr);
    dup2(fileno(tmp), fileno(stderr));
    ASSERT_TRUE(conSetCodeset("EUC-JP"));
    conErrorf("cptoc: 画面(X display)に接続できません。%s\n", "DISPLAY");
    conSetCodeset("UTF-8");
    conErrorf("円\n");
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::rewind(tmp);
    char buf[256];
    const size_t n = std::fread(buf, 1, sizeof buf, tmp);
    std::fclose(tmp);
    const std::string got(buf, n);
    EXPECT_EQ(got, iconvReference("EUC-JP", "cptoc: 画面(X display)に接続できません。DISPLAY\n") + "円\n");
}

}  // namespace
