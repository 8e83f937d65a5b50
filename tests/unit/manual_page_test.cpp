// The ranges that the manual pages cptoc(1) and cptoc-answer(1) state are the
// ones the entry check applies: every real entry against entryRange, the
// slalom's count and the path type against what their checks accept.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/entry_check.h"
#include "test_support.h"

namespace {

// The folder of the manual page sources, found from this file's own path.
std::string manDir()
{
    std::string here = __FILE__;
    const std::string tail = "tests/unit/manual_page_test.cpp";
    if (here.size() < tail.size() || here.compare(here.size() - tail.size(), tail.size(), tail) != 0) return "";
    return here.substr(0, here.size() - tail.size()) + "docs/man/";
}

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

std::string fromTo(double lo, double hi)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g to %g", lo, hi);
    return text;
}

// Reads "LO to HI" at the start of a range text.
bool wholeBounds(const std::string& text, int* lo, int* hi)
{
    return std::sscanf(text.c_str(), "%d to %d", lo, hi) == 2;
}

struct RealItem {
    EntryId id;
    const char* label;
};

const RealItem REAL_ITEMS[] = {
    {ENTRY_ARC_R, "arc: radius R [m]"},
    {ENTRY_ARC_DEG, "arc: angle θf [deg]"},
    {ENTRY_SIN_L, "sine wave: wave length L [m]"},
    {ENTRY_SIN_A, "sine wave: amplitude A [m]"},
    {ENTRY_U_L, "U shape: straight part L [m]"},
    {ENTRY_U_R, "U shape: arc radius R [m]"},
    {ENTRY_SLM_R, "slalom: radius R [m]"},
    {ENTRY_CAM_L, "constant-acc. cam: travel L [m]"},
    {ENTRY_CAM_H, "constant-acc. cam: rise H [m]"},
    {ENTRY_CYC_L, "cycloid cam: travel L [m]"},
    {ENTRY_CYC_H, "cycloid cam: rise H [m]"},
};

const char* const PAGES[] = {"cptoc.1", "cptoc-answer.1"};

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
    for (const char* name : PAGES) EXPECT_NE(readPage(name).find(".TH "), std::string::npos) << manDir() << name;
}

TEST(ManualPage, RealRangesAreTheEntryCheck)
{
    for (const char* name : PAGES) {
        const std::string page = readPage(name);
        for (const RealItem& item : REAL_ITEMS) {
            double lo = 0, hi = 0;
            entryRange(item.id, &lo, &hi);
            EXPECT_EQ(rangeText(page, item.label), fromTo(lo, hi)) << name << ": " << item.label;
        }
        // Both limits share one item; they have one range.
        double xlo = 0, xhi = 0, ylo = 0, yhi = 0;
        entryRange(ENTRY_XAMAX, &xlo, &xhi);
        entryRange(ENTRY_YAMAX, &ylo, &yhi);
        EXPECT_EQ(xlo, ylo);
        EXPECT_EQ(xhi, yhi);
        EXPECT_EQ(rangeText(page, "xamax, yamax [m/s²]"), fromTo(xlo, xhi)) << name;
    }
}

TEST(ManualPage, SlalomCountRangeIsTheCheck)
{
    for (const char* name : PAGES) {
        int lo = 0, hi = 0;
        ASSERT_TRUE(wholeBounds(rangeText(readPage(name), "slalom: count N"), &lo, &hi)) << name;
        EXPECT_TRUE(countTaken(lo)) << name;
        EXPECT_TRUE(countTaken(hi)) << name;
        EXPECT_FALSE(countTaken(lo - 1)) << name;
        EXPECT_FALSE(countTaken(hi + 1)) << name;
    }
}

TEST(ManualPage, PathTypeRangeIsTheCheck)
{
    int lo = 0, hi = 0;
    ASSERT_TRUE(wholeBounds(rangeText(readPage("cptoc.1"), "path type c"), &lo, &hi));
    EXPECT_TRUE(typeTaken(lo));
    EXPECT_TRUE(typeTaken(hi));
    EXPECT_FALSE(typeTaken(lo - 1));
    EXPECT_FALSE(typeTaken(hi + 1));
}

}  // namespace
