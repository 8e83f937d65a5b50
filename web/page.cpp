// The calls into the page's script (shell.html defines `cptocPage`).
#include "web/page.h"

#include <emscripten.h>

namespace {

EM_JS(void, js_set_mode, (int mode), { cptocPage.setMode(mode); });
EM_JS(void, js_write, (const char* text, int n, int error), { cptocPage.write(HEAPU8.subarray(text, text + n), error); });
EM_JS(void, js_show_entry, (const char* text, int n, int commit),
      { cptocPage.showEntry(HEAPU8.subarray(text, text + n), commit); });
EM_ASYNC_JS(int, js_wait_console_key, (char* buf, int cap), {
    const bytes = await cptocPage.nextConsoleKey();
    const n = Math.min(bytes.length, cap);
    HEAPU8.set(bytes.subarray(0, n), buf);
    return n;
});
EM_JS(void, js_drop_console_keys, (), { cptocPage.dropConsoleKeys(); });
EM_ASYNC_JS(int, js_wait_window_key, (), { return await cptocPage.nextWindowKey(); });
EM_ASYNC_JS(void, js_wait_restart, (), { await cptocPage.restartAsked(); });
EM_JS(int, js_answer_asked, (), { return new URLSearchParams(location.search).get('answer') === '1' ? 1 : 0; });
EM_JS(void, js_offer_record, (const char* session), {
    const path = UTF8ToString(session);
    cptocPage.offerRecord(function () { return FS.readFile(path); });
});
EM_JS(void, js_download, (const char* path), { cptocPage.download(FS.readFile(UTF8ToString(path))); });
EM_JS(void, js_languages, (char* buf, int cap), {
    const list = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language];
    stringToUTF8(list.filter(Boolean).join(","), buf, cap);
});
EM_JS(void, js_set_text, (const char* name, const char* text), { cptocPage.setText(UTF8ToString(name), UTF8ToString(text)); });
EM_JS(void, js_present, (const unsigned char* rgba), { cptocPage.present(HEAPU8, rgba); });
EM_JS(void, js_text, (unsigned char* rgba, const char* text, const int* px, int baseline, int size, int serif,
                      int r, int g, int b),
      { cptocPage.text(HEAPU8, HEAP32, rgba, text, px, baseline, size, serif, r, g, b); });

}  // namespace

void pageSetMode(PageMode mode)
{
    static int current = -1;
    if (current == mode) return;
    current = mode;
    js_set_mode(mode);
}

void pageWrite(const char* text, int n, bool error) { js_write(text, n, error ? 1 : 0); }
void pageShowEntry(const char* text, int n, bool commit) { js_show_entry(text, n, commit ? 1 : 0); }
int pageWaitConsoleKey(char* buf, int cap) { return js_wait_console_key(buf, cap); }
void pageDropConsoleKeys() { js_drop_console_keys(); }
int pageWaitWindowKey() { return js_wait_window_key(); }
void pageWaitRestart() { js_wait_restart(); }
void pagePresent(const unsigned char* rgba) { js_present(rgba); }
bool pageAnswerAsked() { return js_answer_asked() != 0; }
void pageOfferRecord(const char* session) { js_offer_record(session); }
void pageDownload(const char* path) { js_download(path); }
void pageLanguages(char* buf, int cap)
{
    if (cap < 1) return;
    buf[0] = '\0';
    js_languages(buf, cap);
}
void pageSetText(const char* name, const char* text) { js_set_text(name, text); }

void pageText(unsigned char* rgba, const char* text, const int* px, int baseline, int size, bool serif, int r,
              int g, int b)
{
    js_text(rgba, text, px, baseline, size, serif ? 1 : 0, r, g, b);
}
