// The ranges that the manual pages cptoc(1) and cptoc-answer(1), English and
// Japanese, state are the ones the entry check applies: every real entry
// against entryRange, the slalom's count and the path type against what their
// checks accept.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/entry_check.h"
#include "test_support.h"

namespace {

// The folder of the manual page sources, as the build configured it (the
// file's own path is mapped to a relative one for reproducible builds).
std::string manDir() { return CPTOC_MAN_SOURCE_DIR "/"; }

std::string readPage(const char* name)
{
    std::ifstream in(manDir() + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line after the range item `.IP "label" ...`, or "" when the page has no such item.
std::string rangeText(const std::string& page, const std::string& label)
{
    const std::string item = "\n.IP \"" + label + "\"";
    const size_t at = page.find(item);
    if (at == std::string::npos) return "";
    if (page.find(item, at + 1) != std::string::npos) return "(listed twice)";
    const size_t start = page.find('\n', at + 1);
    if (start == std::string::npos) return "";
    const size_t end = page.find('\n', start + 1);
    return page.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

// The pages in both languages: the word between the bounds of a range, the
// items of the real entries (indexed by EntryId up to ENTRY_CYC_H), of the
// slalom's count and of the path type.
struct Page {
    const char* name;
    const char* to;
    const char* labels[ENTRY_CYC_H + 1];
    const char* count;
    const char* type;
};

const char* const EN_LABELS[] = {"arc: radius R [m]", "arc: angle θf [deg]", "sine wave: wave length L [m]",
    "sine wave: amplitude A [m]", "U shape: straight part L [m]", "U shape: arc radius R [m]",
    "slalom: radius R [m]", "constant-acc. cam: travel L [m]", "constant-acc. cam: rise H [m]",
    "cycloid cam: travel L [m]", "cycloid cam: rise H [m]"};
const char* const JA_LABELS[] = {"円弧: 半径 R [m]", "円弧: 円弧角 θf [deg]", "正弦波: 波長 L [m]", "正弦波: 振幅 A [m]",
    "Ｕ字: 直線部 L [m]", "Ｕ字: 円弧部半径 R [m]", "スラローム: 半径 R [m]", "等加速度カム: 移動量 L [m]",
    "等加速度カム: 立ち上がり量 H [m]", "サイクロイドカム: 移動量 L [m]", "サイクロイドカム: 立ち上がり量 H [m]"};
static_assert(sizeof EN_LABELS / sizeof EN_LABELS[0] == ENTRY_CYC_H + 1, "one label per real entry");
static_assert(sizeof JA_LABELS / sizeof JA_LABELS[0] == ENTRY_CYC_H + 1, "one label per real entry");

std::vector<Page> pages()
{
    std::vector<Page> out;
    for (const char* name : {"cptoc.1", "cptoc-answer.1", "ja/cptoc.1", "ja/cptoc-answer.1"}) {
        const bool ja = std::string(name).rfind("ja/", 0) == 0;
        Page p{name, ja ? " から " : " to ", {}, ja ? "スラローム: 個数 N" : "slalom: count N",
               ja ? "経路の種類 c" : "path type c"};
        for (int i = 0; i <= ENTRY_CYC_H; ++i) p.labels[i] = ja ? JA_LABELS[i] : EN_LABELS[i];
        out.push_back(p);
    }
    return out;
}

std::string fromTo(const Page& p, double lo, double hi)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g%s%g", lo, p.to, hi);
    return text;
}

// Reads "LO to HI" (in the page's language) at the start of a range text.
bool wholeBounds(const Page& p, const std::string& text, int* lo, int* hi)
{
    const size_t to = text.find(p.to);
    return to != std::string::npos && std::sscanf(text.c_str(), "%d", lo) == 1 &&
           std::sscanf(text.c_str() + to + std::strlen(p.to), "%d", hi) == 1;
}

bool countTaken(int n)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", n);
    int value = 3;
    captureBegin();
    const bool ok = takeCountText(text, 3, &value);
    captureEnd();
    return ok && value == n;
}

bool typeTaken(int c)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", c);
    int value = 1;
    captureBegin();
    const bool ok = takeTypeText(text, 1, &value);
    captureEnd();
    return ok && value == c;
}

TEST(ManualPage, SourcesFound)
{
    for (const Page& p : pages()) EXPECT_NE(readPage(p.name).find(".TH "), std::string::npos) << manDir() << p.name;
}

TEST(ManualPage, RealRangesAreTheEntryCheck)
{
    for (const Page& p : pages()) {
        const std::string page = readPage(p.name);
        for (int id = 0; id <= ENTRY_CYC_H; ++id) {
            double lo = 0, hi = 0;
            entryRange(static_cast<EntryId>(id), &lo, &hi);
            EXPECT_EQ(rangeText(page, p.labels[id]), fromTo(p, lo, hi)) << p.name << ": " << p.labels[id];
        }
        // Both limits share one item; they have one range.
        double xlo = 0, xhi = 0, ylo = 0, yhi = 0;
        entryRange(ENTRY_XAMAX, &xlo, &xhi);
        entryRange(ENTRY_YAMAX, &ylo, &yhi);
        EXPECT_EQ(xlo, ylo);
        EXPECT_EQ(xhi, yhi);
        EXPECT_EQ(rangeText(page, "xamax, yamax [m/s²]"), fromTo(p, xlo, xhi)) << p.name;
    }
}

TEST(ManualPage, SlalomCountRangeIsTheCheck)
{
    for (const Page& p : pages()) {
        int lo = 0, hi = 0;
        ASSERT_TRUE(wholeBounds(p, rangeText(readPage(p.name), p.count), &lo, &hi)) << p.name;
        EXPECT_TRUE(countTaken(lo)) << p.name;
        EXPECT_TRUE(countTaken(hi)) << p.name;
        EXPECT_FALSE(countTaken(lo - 1)) << p.name;
        EXPECT_FALSE(countTaken(hi + 1)) << p.name;
    }
}

TEST(ManualPage, PathTypeRangeIsTheCheck)
{
    // The dialogue asks for the type; only the pages of cptoc list it.
    for (const Page& p : pages()) {
        if (std::string(p.name).find("answer") != std::string::npos) continue;
        int lo = 0, hi = 0;
        ASSERT_TRUE(wholeBounds(p, rangeText(readPage(p.name), p.type), &lo, &hi)) << p.name;
        EXPECT_TRUE(typeTaken(lo)) << p.name;
        EXPECT_TRUE(typeTaken(hi)) << p.name;
        EXPECT_FALSE(typeTaken(lo - 1)) << p.name;
        EXPECT_FALSE(typeTaken(hi + 1)) << p.name;
    }
}

}  // namespace
