// Message catalogue lookup with gettext; see core/messages.h.
#include "core/messages.h"

#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#ifndef CPTOC_LOCALEDIR
#define CPTOC_LOCALEDIR "/usr/local/share/locale"
#endif

namespace {

constexpr const char* DOMAIN = "cptoc";
constexpr int PATH_CAP = 4096;

bool translating = false;  // a catalogue may apply to the message locale in force

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

}  // namespace

void initMessages()
{
    translating = !isUntranslatedLocale(std::setlocale(LC_MESSAGES, nullptr));
    if (!translating) return;
    char folder[PATH_CAP];
    catalogueFolder(folder, PATH_CAP);
    bindtextdomain(DOMAIN, folder);
    // The console seam converts from UTF-8 to the terminal's encoding itself.
    bind_textdomain_codeset(DOMAIN, "UTF-8");
}

const char* tr(const char* text)
{
    // gettext("") would return the catalogue's header.
    if (!translating || text == nullptr || text[0] == '\0') return text;
    return dgettext(DOMAIN, text);
}
