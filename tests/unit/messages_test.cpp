// The catalogue lookup of the browser edition (initMessagesFor): the language
// chosen from a browser's list, and every translation of po/en.po found by the
// program's own reader of the compiled catalogue.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "core/messages.h"

namespace {

// A quoted .po string without its quotes, its escapes resolved.
std::string unquote(const std::string& line)
{
    std::string out;
    const size_t first = line.find('"'), last = line.rfind('"');
    for (size_t i = first + 1; i < last; ++i) {
        if (line[i] != '\\' || i + 1 >= last) {
            out += line[i];
            continue;
        }
        const char e = line[++i];
        out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
    }
    return out;
}

// msgid -> msgstr of a .po file, the header left out.
std::map<std::string, std::string> readPo(const std::string& path)
{
    std::ifstream in(path);
    std::map<std::string, std::string> out;
    std::string line, id, str, *field = nullptr;
    auto flush = [&] {
        if (!id.empty()) out[id] = str;
        id.clear();
        str.clear();
        field = nullptr;
    };
    while (std::getline(in, line)) {
        if (line.rfind("msgid ", 0) == 0) {
            flush();
            field = &id;
        } else if (line.rfind("msgstr ", 0) == 0) {
            field = &str;
        } else if (line.empty() || line[0] != '"') {
            continue;
        }
        *field += unquote(line);
    }
    flush();
    return out;
}

const char* const ARC = "円弧角θf";  // a text of the catalogue

TEST(Messages, TheFirstOfTheBrowsersLanguagesThatIsJapaneseOrHasACatalogueWins)
{
    const struct {
        const char* languages;
        bool english;
    } cases[] = {
        {"en-US,en", true},  {"en", true},      {"de-DE,en-GB,ja", true}, {"en;q=0.9", true},
        {"ja,en-US", false}, {"ja-JP", false},  {"de,fr", false},         {"", false},
        {",,", false},       {"en_GB.UTF-8@euro", true},
    };
    for (const auto& c : cases) {
        initMessagesFor(c.languages, CPTOC_BUILD_LOCALEDIR);
        EXPECT_EQ(std::string(tr(ARC)), c.english ? "arc angle θf" : ARC) << c.languages;
    }
    initMessagesFor("en", "/nonexistent");
    EXPECT_STREQ(tr(ARC), ARC);
}

TEST(Messages, TheOwnReaderFindsEveryTranslationOfTheCatalogue)
{
    const auto po = readPo(CPTOC_ENGLISH_PO);
    ASSERT_GT(po.size(), 100u);
    initMessagesFor("en", CPTOC_BUILD_LOCALEDIR);
    for (const auto& [id, str] : po) EXPECT_EQ(tr(id.c_str()), str) << id;
    EXPECT_STREQ(tr("not a text of the program"), "not a text of the program");
    EXPECT_STREQ(tr(""), "");
    initMessagesFor("ja", CPTOC_BUILD_LOCALEDIR);  // the texts as they are for the other tests
    EXPECT_STREQ(tr(ARC), ARC);
}

}  // namespace
