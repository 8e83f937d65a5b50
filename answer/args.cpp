// The command line of the answer key and the key notation of a session.
// Reads the defaults of `sim` as old values; applyAnswerArgs writes path and limits.
#include "answer/args.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <strings.h>

#include "app/record.h"
#include "core/console.h"
#include "core/messages.h"
#include "core/entry_check.h"
#include "core/state.h"

namespace {

constexpr int POSITIONAL = 5;   // TYPE D1 D2 XAMAX YAMAX
constexpr int SHOWN_TOKEN = 40; // bytes of a refused token quoted in its message
constexpr unsigned char ESC_KEY = 27;

char keysText[KEYS_TEXT_CAP + 1];

bool isBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isEscName(const char* tok, long len)
{
    static const char* const names[] = {"ESC", "Esc", "esc", "Escape", "escape", "ESCAPE"};
    for (const char* n : names)
        if (static_cast<long>(std::strlen(n)) == len && std::strncmp(tok, n, static_cast<size_t>(len)) == 0)
            return true;
    return false;
}

void refuseToken(const char* tok, long len, const char* why)
{
    const int shown = len > SHOWN_TOKEN ? SHOWN_TOKEN : static_cast<int>(len);
    conPrintf("\n  キー表記が不正です: \"%.*s%s\" %s", shown, tok, len > SHOWN_TOKEN ? "..." : "", tr(why));
}

// One token: the key and its count. False (with the message) when refused.
bool parseToken(const char* tok, long len, KeyRun* run)
{
    const unsigned char key = static_cast<unsigned char>(tok[0]);
    if (key == ESC_KEY || isEscName(tok, len)) {
        refuseToken(tok, len, N_("ESC は使えません(窓ではプログラムを終了させるキーです)"));
        return false;
    }
    if (key < 0x21 || key > 0x7e) {
        refuseToken(tok, len, N_("キーは印字できる半角文字1つにしてください"));
        return false;
    }
    if (key == 'k' || key == 'u') {
        refuseToken(tok, len, N_("k と u は使えません(窓ではコンソールの設定対話を始めるキーです)"));
        return false;
    }
    if (key >= 'A' && key <= 'Z' && key != 'W' && key != 'X' && key != 'Y') {
        char why[160];
        std::snprintf(why, sizeof why, tr("%c は窓では何もしないキーです(大文字で使うのは W X Y だけ、小文字の %c では?)"),
                      key, key - 'A' + 'a');
        refuseToken(tok, len, why);
        return false;
    }
    long count = 1;
    if (len > 1) {
        if (tok[1] != '*' || len == 2) {
            refuseToken(tok, len, N_("は キー または キー*回数 の形にしてください"));
            return false;
        }
        count = 0;
        for (long i = 2; i < len; ++i) {
            const char c = tok[i];
            if (c < '0' || c > '9') {
                refuseToken(tok, len, N_("の回数は整数で書いてください"));
                return false;
            }
            count = count * 10 + (c - '0');
            if (count > KEY_PRESS_MAX) break;  // the digits left cannot bring it back
        }
        if (count < 1 || count > KEY_PRESS_MAX) {
            char why[96];
            std::snprintf(why, sizeof why, tr("の回数は 1 から %ld にしてください"), KEY_PRESS_MAX);
            refuseToken(tok, len, why);
            return false;
        }
    }
    run->key = key;
    run->count = count;
    return true;
}

bool typeByName(const char* text, int* type)
{
    for (int k = 1; k < TYPE_CAP; ++k)
        if (strcasecmp(text, recordTypeName(k)) == 0) {
            *type = k;
            return true;
        }
    return false;
}

// The two dimension entries of each path type, in the order of the dialogue's prompt.
struct Dimensions {
    EntryId first, second;  // second unused for the slalom (its count)
    double old1, old2;      // the values in force, named by a refusal
};

Dimensions dimensionsOf(int type)
{
    const SimState& g = sim;
    switch (type) {
    case CP_ARC: return {ENTRY_ARC_R, ENTRY_ARC_DEG, g.arcR, g.sEnd[CP_ARC] * RAD2DEG};
    case CP_SINE: return {ENTRY_SIN_L, ENTRY_SIN_A, g.sinL, g.sinA};
    case CP_U: return {ENTRY_U_L, ENTRY_U_R, g.uL, g.uR};
    case CP_SLALOM: return {ENTRY_SLM_R, ENTRY_SLM_R, g.slmR, 0.0};
    case CP_CAM_ACC: return {ENTRY_CAM_L, ENTRY_CAM_H, g.camL, g.camH};
    default: return {ENTRY_CYC_L, ENTRY_CYC_H, g.cycL, g.cycH};
    }
}

// "lo から hi" of an entry, in one of two buffers so that two can be printed together.
const char* rangeText(EntryId id, int slot)
{
    static char text[2][48];
    double lo = 0, hi = 0;
    entryRange(id, &lo, &hi);
    char* t = text[slot & 1];
    std::snprintf(t, sizeof text[0], tr("%g から %g"), lo, hi);
    return t;
}

// The output options: each takes a file name of its own format.
struct FileOption {
    const char* name;       // without the leading "--"
    const char* extension;  // ".svg", ...; a name without any extension is taken too
};

// A name with an extension of another format is refused: "--png out.jpg" would
// write PNG bytes into a file every viewer opens as JPEG.
bool extensionFits(const char* option, const char* path, const char* extension)
{
    const char* base = std::strrchr(path, '/');
    base = base != nullptr ? base + 1 : path;
    const char* dot = std::strrchr(base, '.');
    if (dot == nullptr || dot == base) return true;  // no extension, or a dot file
    if (strcasecmp(dot, extension) == 0) return true;
    conPrintf("\n  出力ファイル名 %s の拡張子が --%s の形式(%s)と違います", path, option, extension);
    return false;
}

bool takeConditionsNamed(const char* const pos[POSITIONAL], AnswerArgs* a)
{
    bool ok = true;
    int type = 0;
    if (!typeByName(pos[0], &type)) {
        if (!entryIsNumber(pos[0])) {
            conPrintf("\n  入力が不正です: TYPE の %s は arc sine u slalom cam cycloid の名前か 1 から 6 の番号にしてください",
                      pos[0]);
            return false;
        }
        if (!takeTypeText(pos[0], sim.cpType, &type)) return false;  // the dimensions depend on it
    }
    a->type = type;
    const Dimensions d = dimensionsOf(type);
    if (!takeRealText(d.first, pos[1], d.old1, &a->d1)) ok = false;
    if (type == CP_SLALOM) {
        if (!takeCountText(pos[2], sim.slmN, &a->count)) ok = false;
    } else if (!takeRealText(d.second, pos[2], d.old2, &a->d2)) {
        ok = false;
    }
    if (!takeRealText(ENTRY_XAMAX, pos[3], sim.xamax, &a->xamax)) ok = false;
    if (!takeRealText(ENTRY_YAMAX, pos[4], sim.yamax, &a->yamax)) ok = false;
    return ok;
}

}  // namespace

bool takeConditions(const char* const pos[POSITIONAL], AnswerArgs* a)
{
    setRefusalNamesOldValue(false);  // nothing is kept: the values come from the command line alone
    const bool ok = takeConditionsNamed(pos, a);
    setRefusalNamesOldValue(true);
    return ok;
}

bool parseKeys(const char* text, long length, KeySession* out)
{
    out->firstShowing = true;
    out->nRuns = 0;
    out->presses = 0;
    long i = 0;
    // Each pass consumes at least one byte: the loop ends at `length`.
    while (i < length) {
        if (isBlank(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        const long start = i;
        while (i < length && !isBlank(static_cast<unsigned char>(text[i]))) ++i;
        KeyRun run;
        if (!parseToken(text + start, i - start, &run)) return false;
        if (out->presses + run.count > KEY_PRESS_MAX) {
            conPrintf("\n  キー操作が多すぎます: 合計 %ld 回を超えます", KEY_PRESS_MAX);
            return false;
        }
        out->presses += run.count;
        if (out->nRuns > 0 && out->run[out->nRuns - 1].key == run.key) {
            out->run[out->nRuns - 1].count += run.count;
            continue;
        }
        if (out->nRuns >= KEY_RUN_CAP) {
            conPrintf("\n  キー操作が多すぎます: 続けて同じでないキーは %d 組までです", KEY_RUN_CAP);
            return false;
        }
        out->run[out->nRuns++] = run;
    }
    return true;
}

bool readKeysFile(const char* path, KeySession* out)
{
    const bool useStdin = std::strcmp(path, "-") == 0;
    FILE* f = useStdin ? stdin : std::fopen(path, "rb");
    if (f == nullptr) {
        conPrintf("\n  キー操作のファイル %s を読めません: %s", path, std::strerror(errno));
        return false;
    }
    const size_t n = std::fread(keysText, 1, static_cast<size_t>(KEYS_TEXT_CAP) + 1, f);
    const bool failed = std::ferror(f) != 0;
    if (!useStdin) std::fclose(f);
    if (failed) {
        conPrintf("\n  キー操作のファイル %s を読めません", path);
        return false;
    }
    if (n > static_cast<size_t>(KEYS_TEXT_CAP)) {
        conPrintf("\n  キー操作のファイル %s が大きすぎます(%ld バイトまで)", path, KEYS_TEXT_CAP);
        return false;
    }
    return parseKeys(keysText, static_cast<long>(n), out);
}

namespace {

enum OptionId { OPT_HELP = 'h', OPT_VERSION = 256, OPT_KEYS, OPT_KEYS_FILE, OPT_SVG, OPT_PNG, OPT_PDF, OPT_CSV,
                OPT_SESSION, OPT_AFTER_LAST };

const option LONG_OPTIONS[] = {
    {"help", no_argument, nullptr, OPT_HELP},
    {"version", no_argument, nullptr, OPT_VERSION},
    {"keys", required_argument, nullptr, OPT_KEYS},
    {"keys-file", required_argument, nullptr, OPT_KEYS_FILE},
    {"svg", required_argument, nullptr, OPT_SVG},
    {"png", required_argument, nullptr, OPT_PNG},
    {"pdf", required_argument, nullptr, OPT_PDF},
    {"csv", required_argument, nullptr, OPT_CSV},
    {"session", no_argument, nullptr, OPT_SESSION},
    {nullptr, 0, nullptr, 0},
};

// The long name of an option id, for its refusal lines.
const char* longName(int id)
{
    for (const option& o : LONG_OPTIONS)
        if (o.name != nullptr && o.val == id) return o.name;
    return "";
}

// Where a value option keeps its value, and the extension of its file; nullptr for the flags.
const char** valueSlot(int id, AnswerArgs* a, const char** extension)
{
    *extension = nullptr;
    switch (id) {
    case OPT_KEYS: return &a->keysText;
    case OPT_KEYS_FILE: return &a->keysFile;
    case OPT_SVG: *extension = ".svg"; return &a->svg;
    case OPT_PNG: *extension = ".png"; return &a->png;
    case OPT_PDF: *extension = ".pdf"; return &a->pdf;
    case OPT_CSV: *extension = ".csv"; return &a->csv;
    default: return nullptr;
    }
}

// The words handed to getopt_long. A negative number ("-0.5") is a value, not a
// cluster of short options: getopt_long sees an empty word of its own in its
// place (an empty word is a positional value to it), which is turned back into
// the number once the options are read. Each mark is an address of its own.
constexpr int WORD_CAP = 4096;
char* words[WORD_CAP + 1];
char* negative[WORD_CAP];
char marks[WORD_CAP][1];

bool isNegativeNumber(const char* w)
{
    return w[0] == '-' && ((w[1] >= '0' && w[1] <= '9') || w[1] == '.') && entryIsNumber(w);
}

}  // namespace

ArgsResult parseAnswerArgs(int argc, char** argv, AnswerArgs* a)
{
    *a = AnswerArgs{};
    if (argc > WORD_CAP) {
        conPrintf("\n  引数が多すぎます(%d 個まで)", WORD_CAP - 1);
        return ARGS_BAD;
    }
    bool afterEnd = false;
    for (int i = 0; i < argc; ++i) {
        words[i] = argv[i];
        negative[i] = nullptr;
        if (i > 0 && !afterEnd && isNegativeNumber(argv[i])) {
            negative[i] = argv[i];
            marks[i][0] = '\0';
            words[i] = marks[i];
        }
        if (std::strcmp(argv[i], "--") == 0) afterEnd = true;
    }
    words[argc] = nullptr;
    argv = words;
    bool seen[OPT_AFTER_LAST] = {};
    bool ok = true;
    bool help = false, version = false;
    opterr = 0;  // the refusals are ours, in the console's language
    optind = 0;  // a fresh scan, also for a second parse in the same process
    // getopt_long returns -1 after the last option; each call consumes at least one word.
    for (;;) {
        const int id = getopt_long(argc, argv, ":h", LONG_OPTIONS, nullptr);
        if (id == -1) break;
        const char* word = optind >= 1 && optind - 1 < argc ? argv[optind - 1] : "";
        if (id == '?') {
            if (optopt != 0 && optopt != '?')
                conPrintf("\n  不明なオプションです: -%c", optopt);
            else
                conPrintf("\n  不明なオプションです: %s", word);
            ok = false;
            continue;
        }
        if (id == ':') {
            conPrintf("\n  オプション %s の後に値がありません", word);
            ok = false;
            continue;
        }
        if (id < 0 || id >= OPT_AFTER_LAST) continue;  // getopt_long returns only the ids above
        if (seen[id]) {
            conPrintf("\n  オプション --%s が2回以上あります(1回にしてください)", longName(id));
            ok = false;
            continue;
        }
        seen[id] = true;
        if (id == OPT_HELP) help = true;
        if (id == OPT_VERSION) version = true;
        if (id == OPT_SESSION) a->session = true;
        const char* extension = nullptr;
        const char** slot = valueSlot(id, a, &extension);
        if (slot == nullptr) continue;
        if (optarg == nullptr || optarg[0] == '\0') {
            conPrintf("\n  オプション --%s の値が空です", longName(id));
            ok = false;
            continue;
        }
        if (extension != nullptr && !extensionFits(longName(id), optarg, extension)) {
            ok = false;
            continue;
        }
        *slot = optarg;
    }
    if (help) return ARGS_HELP;
    if (version) return ARGS_VERSION;
    for (int k = optind; k < argc; ++k)
        if (argv[k] >= marks[0] && argv[k] < marks[0] + WORD_CAP) argv[k] = negative[argv[k] - marks[0]];
    if (a->keysText != nullptr && a->keysFile != nullptr) {
        conPrintf("\n  --keys と --keys-file はどちらか一方にしてください");
        ok = false;
    }
    const int nPos = optind <= argc ? argc - optind : 0;
    if (a->session) {
        if (a->keysText != nullptr || a->keysFile != nullptr) {
            conPrintf("\n  --session のキー操作は記録ファイルから読みます: --keys と --keys-file は使えません");
            ok = false;
        }
        if (nPos < 1) {
            conPrintf("\n  --session の後に記録ファイルがありません");
            return ARGS_BAD;
        }
        a->files = argv + optind;
        a->nFiles = nPos;
        return ok ? ARGS_OK : ARGS_BAD;
    }
    if (nPos != POSITIONAL) {
        conPrintf("\n  引数の数が違います: TYPE D1 D2 XAMAX YAMAX の %d 個が必要です(%d 個あります)", POSITIONAL, nPos);
        return ARGS_BAD;
    }
    const char* pos[POSITIONAL] = {};
    for (int k = 0; k < POSITIONAL; ++k) pos[k] = argv[optind + k];
    if (!takeConditions(pos, a)) ok = false;
    return ok ? ARGS_OK : ARGS_BAD;
}

void applyAnswerArgs(const AnswerArgs& a)
{
    SimState& g = sim;
    switch (a.type) {
    case CP_ARC:
        g.arcR = a.d1;
        g.sEnd[CP_ARC] = a.d2 * DEG2RAD;  // entered in degrees, as in the dialogue
        break;
    case CP_SINE: g.sinL = a.d1; g.sinA = a.d2; break;
    case CP_U: g.uL = a.d1; g.uR = a.d2; break;
    case CP_SLALOM: g.slmR = a.d1; g.slmN = a.count; break;
    case CP_CAM_ACC: g.camL = a.d1; g.camH = a.d2; break;
    case CP_CAM_CYCLOID: g.cycL = a.d1; g.cycH = a.d2; break;
    default: return;  // parseAnswerArgs admits 1..6 only
    }
    g.cpType = a.type;
    updateTypeTables(a.type);
    g.xf = g.cpEnd[a.type][0];
    g.yf = g.cpEnd[a.type][1];
    g.xamax = a.xamax;
    g.yamax = a.yamax;
}

void printAnswerUsage(bool full)
{
    conPrintf("\n使い方: cptoc-answer TYPE D1 D2 XAMAX YAMAX [--keys \"KEYS\" | --keys-file FILE]"
              " [--svg FILE] [--png FILE] [--pdf FILE] [--csv FILE]");
    conPrintf("\n        cptoc-answer --session FILE... [--csv FILE] [--svg FILE] [--png FILE] [--pdf FILE]");
    if (!full) {
        conPrintf("\n詳しくは cptoc-answer --help\n");
        return;
    }
    conPrintf("\n\n最短時間制御の最適解(答え)を求め、キー操作を採点します。");
    conPrintf("\nTYPE: 軌道曲線の番号または名前、D1 D2: その寸法(設定対話と同じ単位と範囲)");
    conPrintf("\n  1 arc      円弧             D1=半径R[m] (%s)  D2=円弧角θf[deg] (%s)", rangeText(ENTRY_ARC_R, 0),
              rangeText(ENTRY_ARC_DEG, 1));
    conPrintf("\n  2 sine     正弦波           D1=波長L[m] (%s)  D2=振幅A[m] (%s)", rangeText(ENTRY_SIN_L, 0),
              rangeText(ENTRY_SIN_A, 1));
    conPrintf("\n  3 u        Ｕ字軌道         D1=直線部L[m] (%s)  D2=円弧部半径R[m] (%s)", rangeText(ENTRY_U_L, 0),
              rangeText(ENTRY_U_R, 1));
    conPrintf("\n  4 slalom   スラローム       D1=半径R[m] (%s)  D2=円個数N (1 から 20 の整数)",
              rangeText(ENTRY_SLM_R, 0));
    conPrintf("\n  5 cam      等加速度カム     D1=移動量L[m] (%s)  D2=立ち上がり量H[m] (%s)", rangeText(ENTRY_CAM_L, 0),
              rangeText(ENTRY_CAM_H, 1));
    conPrintf("\n  6 cycloid  サイクロイドカム D1=移動量L[m] (%s)  D2=立ち上がり量H[m] (%s)",
              rangeText(ENTRY_CYC_L, 0), rangeText(ENTRY_CYC_H, 1));
    conPrintf("\nXAMAX YAMAX: X,Y最大加速度[m/s^2] (%s)", rangeText(ENTRY_XAMAX, 0));
    conPrintf("\n\n--keys \"KEYS\"     窓のキー操作を再生して採点する。例: \"s*63 c s*8 f s*80\"");
    conPrintf("\n                  空白で区切ったキー、回数は キー*回数 (1 から %ld)。k u ESC は使えない",
              KEY_PRESS_MAX);
    conPrintf("\n--keys-file FILE  キー操作をファイルから読む(- は標準入力)");
    conPrintf("\n--svg/--png/--pdf FILE  位相平面と最適解の時間変化の図");
    conPrintf("\n--csv FILE        最適解を 0.01[s] ごとに (t, s, ds/dt, x, y, ax, ay)");
    conPrintf("\n--session FILE... cptoc --record の記録ファイルを再生して採点する(条件は記録から)");
    conPrintf("\n                  2つ以上のファイルは一覧表に、--csv はその表を書く。図は記録が1つのとき");
    conPrintf("\n--version         版を表示する");
    conPrintf("\n終了状態: 0 正常、1 ファイルを書けない・飛ばした記録がある、2 引数の誤り\n");
}
