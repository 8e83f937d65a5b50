// Message catalogue lookup with gettext; see core/messages.h.
#include "core/messages.h"

#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef CPTOC_LOCALEDIR
#define CPTOC_LOCALEDIR "/usr/local/share/locale"
#endif

namespace {

constexpr const char* DOMAIN = "cptoc";
constexpr int PATH_CAP = 4096;
constexpr int LANGUAGE_CAP = 64;  // longest language name of a list that is looked at

bool translating = false;  // a catalogue may apply to the message locale in force

// ---- The catalogue read by the program itself ----
//
// The C library of WebAssembly has gettext, but its lookup reads beyond the
// catalogue it maps. There the program reads the compiled catalogue (.mo) into
// a fixed buffer and looks a text up by binary search among its ids, which
// msgfmt writes in sorted order.

constexpr int MO_CAP = 256 * 1024;  // largest catalogue [bytes]; the English one has 22 kB
unsigned char moData[MO_CAP];
int moSize = 0;        // bytes of the catalogue read; 0: none
bool moSwapped = false;  // written on a machine of the other byte order

uint32_t moWord(long at)
{
    if (at < 0 || at + 4 > moSize) return 0;
    const unsigned char* b = moData + at;
    return moSwapped ? (uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3])
                     : (uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0]);
}

// The NUL-terminated string of table entry i (at table offset `table`), or nullptr.
const char* moString(uint32_t table, uint32_t i)
{
    const long len = moWord(long(table) + 8L * i);
    const long off = moWord(long(table) + 8L * i + 4);
    if (off + len >= moSize || moData[off + len] != '\0') return nullptr;
    return reinterpret_cast<const char*>(moData + off);
}

bool readCatalogue(const char* path)
{
    moSize = 0;
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    const size_t n = std::fread(moData, 1, MO_CAP, f);
    const bool whole = std::feof(f) != 0;
    std::fclose(f);
    if (!whole || n < 28) return false;
    moSize = static_cast<int>(n);
    moSwapped = false;
    if (moWord(0) != 0x950412deu) {
        moSwapped = true;
        if (moWord(0) != 0x950412deu) moSize = 0;
    }
    return moSize > 0;
}

const char* lookUpCatalogue(const char* text)
{
    const uint32_t count = moWord(8), ids = moWord(12), texts = moWord(16);
    uint32_t lo = 0, hi = count;
    // Binary search: at most 32 rounds.
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const char* id = moString(ids, mid);
        if (id == nullptr) return text;
        const int c = std::strcmp(text, id);
        if (c == 0) {
            const char* t = moString(texts, mid);
            return t != nullptr && t[0] != '\0' ? t : text;
        }
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return text;
}

// C, POSIX and C.<codeset> are the untranslated locale: gettext would still
// follow LANGUAGE in C.UTF-8, the program does not.
bool isUntranslatedLocale(const char* name)
{
    if (name == nullptr) return true;
    return std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 || std::strncmp(name, "C.", 2) == 0;
}

bool isDirectory(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// The folder of the catalogues into out: beside the running program when it
// has them there, else the folder it was installed for.
void catalogueFolder(char* out, int cap)
{
    std::snprintf(out, static_cast<size_t>(cap), "%s", CPTOC_LOCALEDIR);
    char exe[PATH_CAP];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return;
    exe[n] = '\0';
    char* slash = std::strrchr(exe, '/');
    if (slash == nullptr) return;
    *slash = '\0';
    static const char* const besides[] = {"/locale", "/../share/locale"};
    for (const char* rel : besides) {
        char candidate[PATH_CAP];
        const int len = std::snprintf(candidate, sizeof candidate, "%s%s", exe, rel);
        if (len <= 0 || len >= static_cast<int>(sizeof candidate)) continue;
        if (isDirectory(candidate)) {
            std::snprintf(out, static_cast<size_t>(cap), "%s", candidate);
            return;
        }
    }
}

bool hasCatalogue(const char* folder, const char* language)
{
    char path[PATH_CAP];
    const int len = std::snprintf(path, sizeof path, "%s/%s/LC_MESSAGES/%s.mo", folder, language, DOMAIN);
    return len > 0 && len < static_cast<int>(sizeof path) && isFile(path);
}

enum Choice { CHOICE_NONE, CHOICE_JAPANESE, CHOICE_CATALOGUE };

// The first language of a list that is Japanese (the texts as written) or has
// a catalogue in folder, in the order of preference. The list is separated by
// ':' or ',' (LANGUAGE, a browser's languages); a language is "ll", "ll_CC" or
// "ll-CC" with an optional ".codeset" or "@variant", and its catalogue is that
// of "ll_CC" or else of "ll". The name of the catalogue goes into out.
Choice chooseLanguage(const char* list, const char* folder, char* out, int cap)
{
    const char* p = list;
    // One language per pass; bounded by the end of the list.
    while (p != nullptr && *p != '\0') {
        const size_t len = std::strcspn(p, ":,");
        char name[LANGUAGE_CAP];
        int n = 0;
        for (size_t i = 0; i < len && n < LANGUAGE_CAP - 1; ++i) {
            const char c = p[i];
            if (c == ' ' || c == ';') break;  // "en;q=0.8" of an Accept-Language
            name[n++] = c == '-' ? '_' : c;
        }
        name[n] = '\0';
        name[std::strcspn(name, ".@")] = '\0';
        char primary[LANGUAGE_CAP];
        std::snprintf(primary, sizeof primary, "%.*s", static_cast<int>(std::strcspn(name, "_")), name);
        if (std::strcmp(primary, "ja") == 0) return CHOICE_JAPANESE;
        if (primary[0] != '\0') {
            const char* found = hasCatalogue(folder, name) ? name : hasCatalogue(folder, primary) ? primary : nullptr;
            if (found != nullptr) {
                std::snprintf(out, static_cast<size_t>(cap), "%s", found);
                return CHOICE_CATALOGUE;
            }
        }
        p += len;
        if (*p != '\0') ++p;
    }
    return CHOICE_NONE;
}

void bindCatalogue(const char* folder)
{
    bindtextdomain(DOMAIN, folder);
    // The console seam converts from UTF-8 to the terminal's encoding itself.
    bind_textdomain_codeset(DOMAIN, "UTF-8");
}

}  // namespace

void initMessages()
{
    moSize = 0;
    translating = !isUntranslatedLocale(std::setlocale(LC_MESSAGES, nullptr));
    if (!translating) return;
    char folder[PATH_CAP];
    catalogueFolder(folder, PATH_CAP);
    // gettext takes the first language of LANGUAGE that has a catalogue; Japanese
    // has none, as it is the language of the texts themselves, so a Japanese
    // listed before it must keep the texts as they are.
    char name[LANGUAGE_CAP];
    const char* languages = std::getenv("LANGUAGE");
    if (languages != nullptr && chooseLanguage(languages, folder, name, LANGUAGE_CAP) == CHOICE_JAPANESE) {
        translating = false;
        return;
    }
    bindCatalogue(folder);
}

void initMessagesFor(const char* languages, const char* catalogues)
{
    translating = false;
    moSize = 0;
    char folder[PATH_CAP];
    if (catalogues != nullptr)
        std::snprintf(folder, sizeof folder, "%s", catalogues);
    else
        catalogueFolder(folder, PATH_CAP);
    char name[LANGUAGE_CAP];
    if (chooseLanguage(languages, folder, name, LANGUAGE_CAP) != CHOICE_CATALOGUE) return;
    char path[PATH_CAP];
    const int len = std::snprintf(path, sizeof path, "%s/%s/LC_MESSAGES/%s.mo", folder, name, DOMAIN);
    translating = len > 0 && len < static_cast<int>(sizeof path) && readCatalogue(path);
}

const char* tr(const char* text)
{
    // gettext("") would return the catalogue's header.
    if (!translating || text == nullptr || text[0] == '\0') return text;
    if (moSize > 0) return lookUpCatalogue(text);
    return dgettext(DOMAIN, text);
}
