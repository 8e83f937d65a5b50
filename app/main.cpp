// Program entry: the command line, defaults, the console setup dialogue, then the
// graphics window. Touches the state only through initDefaults, the dialogue and the window.
#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/dialogue.h"
#include "app/record.h"
#include "app/window.h"
#include "core/console.h"
#include "core/messages.h"
#include "core/state.h"
#include "cptoc_version.h"
#include "render/answer_overlay.h"

namespace {

// The options of the window toolkit, handed to glutInit untouched: those that
// take a value, and those that stand alone.
const char* const TOOLKIT_VALUE_OPTIONS[] = {"-display", "-geometry"};
const char* const TOOLKIT_FLAGS[] = {"-iconic", "-indirect", "-direct", "-gldebug", "-sync"};

constexpr int WORD_CAP = 256;  // words of the command line

enum OptionId { OPT_HELP = 'h', OPT_RECORD = 256, OPT_ANSWER, OPT_VERSION, OPT_AFTER_LAST };

const option LONG_OPTIONS[] = {
    {"record", required_argument, nullptr, OPT_RECORD},
    {"answer", no_argument, nullptr, OPT_ANSWER},
    {"help", no_argument, nullptr, OPT_HELP},
    {"version", no_argument, nullptr, OPT_VERSION},
    {nullptr, 0, nullptr, 0},
};

struct WindowArgs {
    const char* record = nullptr;  // --record FILE
    bool answer = false;           // --answer
    bool help = false, version = false;
    char* toolkit[WORD_CAP + 1] = {};  // argv[0] and the toolkit's options, for glutInit
    int nToolkit = 0;
};

bool isOneOf(const char* word, const char* const* list, int n)
{
    for (int i = 0; i < n; ++i)
        if (std::strcmp(word, list[i]) == 0) return true;
    return false;
}

const char* longName(int id)
{
    for (const option& o : LONG_OPTIONS)
        if (o.name != nullptr && o.val == id) return o.name;
    return "";
}

// The usage line, on standard error after a refusal.
void printUsage(bool toErrors)
{
    const char* const usage = N_("使い方: cptoc [--record FILE] [--answer] [-display DISPLAY] [-geometry WxH+X+Y]\n");
    if (toErrors)
        conErrorf("%s", tr(usage));
    else
        conPrintf("%s", tr(usage));
}

void printHelp()
{
    printUsage(false);
    conPrintf("\n最短時間制御の軌道を位相平面上でキー操作によって求める教材です。"
               "\n起動するとコンソールで軌道曲線と最大加速度を設定し、窓でキーを押して軌道を探索します。"
               "\n\n--record FILE  探索ごとに条件・キー操作・結果を FILE に追記する"
               "\n               (教員は cptoc-answer --session FILE で採点する)"
               "\n--answer       探索が終わるたびに最適解との比較をコンソールに出し、"
               "\n               窓の位相平面に最適解の軌道と切り替え点を紫で重ねる"
               "\n--help         この説明を表示する"
               "\n--version      版を表示する"
               "\n-display, -geometry, -iconic, -sync など窓のツールキットのオプションはそのまま渡す"
               "\n終了状態: 0 正常(ESC または窓を閉じる)、1 画面に接続できない・記録ファイルを開けない、2 引数の誤り\n");
}

// Splits the words into the toolkit's and ours, reads ours with getopt_long.
// False after printing the refusal lines to standard error.
bool parseWindowArgs(int argc, char** argv, WindowArgs* w)
{
    char* ours[WORD_CAP + 1] = {};
    int nOurs = 0;
    if (argc > WORD_CAP) {
        conErrorf("cptoc: 引数が多すぎます(%d 個まで)\n", WORD_CAP - 1);
        return false;
    }
    ours[nOurs++] = argv[0];
    w->toolkit[w->nToolkit++] = argv[0];
    bool afterEnd = false;
    for (int i = 1; i < argc; ++i) {
        char* word = argv[i];
        if (!afterEnd && isOneOf(word, TOOLKIT_VALUE_OPTIONS, 2)) {
            w->toolkit[w->nToolkit++] = word;
            if (i + 1 < argc) w->toolkit[w->nToolkit++] = argv[++i];
            continue;
        }
        if (!afterEnd && isOneOf(word, TOOLKIT_FLAGS, 5)) {
            w->toolkit[w->nToolkit++] = word;
            continue;
        }
        if (std::strcmp(word, "--") == 0) afterEnd = true;
        ours[nOurs++] = word;
    }
    bool ok = true;
    bool seen[OPT_AFTER_LAST] = {};
    opterr = 0;
    optind = 0;
    // getopt_long returns -1 after the last option; each call consumes at least one word.
    for (;;) {
        const int id = getopt_long(nOurs, ours, ":h", LONG_OPTIONS, nullptr);
        if (id == -1) break;
        const char* word = optind >= 1 && optind - 1 < nOurs ? ours[optind - 1] : "";
        if (id == '?') {
            if (optopt != 0 && optopt != '?')
                conErrorf("cptoc: 不明なオプションです: -%c\n", optopt);
            else
                conErrorf("cptoc: 不明なオプションです: %s\n", word);
            ok = false;
            continue;
        }
        if (id == ':') {
            conErrorf("cptoc: オプション %s の後に値がありません\n", word);
            ok = false;
            continue;
        }
        if (id < 0 || id >= OPT_AFTER_LAST) continue;
        if (seen[id]) {
            conErrorf("cptoc: オプション --%s が2回以上あります(1回にしてください)\n", longName(id));
            ok = false;
            continue;
        }
        seen[id] = true;
        if (id == OPT_HELP) w->help = true;
        if (id == OPT_VERSION) w->version = true;
        if (id == OPT_ANSWER) w->answer = true;
        if (id == OPT_RECORD) {
            if (optarg == nullptr || optarg[0] == '\0') {
                conErrorf("cptoc: オプション --record の値が空です\n");
                ok = false;
            } else {
                w->record = optarg;
            }
        }
    }
    for (int i = optind; i < nOurs; ++i) {
        conErrorf("cptoc: 余分な引数です: %s\n", ours[i]);
        ok = false;
    }
    return ok;
}

WindowArgs args;

}  // namespace

int main(int argc, char** argv)
{
    conOpenStandardDescriptors();
    conInitLocale();  // the usage and the refusals in the user's language and encoding
    if (!parseWindowArgs(argc, argv, &args)) {
        printUsage(true);
        conErrorf("詳しくは cptoc --help\n");
        return 2;
    }
    if (args.help) {
        printHelp();
        return 0;
    }
    if (args.version) {
        std::printf("cptoc %s\n", CPTOC_VERSION);
        return 0;
    }
    // The display named on the command line is the one the program checks first.
    for (int i = 1; i + 1 < args.nToolkit; ++i)
        if (std::strcmp(args.toolkit[i], "-display") == 0) setenv("DISPLAY", args.toolkit[i + 1], 1);

    conInstallTerminalGuards();
    initDefaults();
    if (!displayAvailable()) return 1;
    if (args.record != nullptr && !recordOpen(args.record)) return 1;
    setAnswerShown(args.answer);
    setAnswerOverlay(args.answer);
    sim.lastKey = '0';
    setupDialogue();
    initWindow(&args.nToolkit, args.toolkit);
    return 0;
}
