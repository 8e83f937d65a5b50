# The browser edition: index.html, cptoc.js and cptoc.wasm in OUT, built with Debian's emcc.
# Usage: make -f web/web.mk SRC=<source tree> OUT=<folder> [target]
#   (default)  the page
#   accuracy   OUT/accuracy_report.js, the accuracy table of the core under node
#   bench      OUT/bench.html, the playback frames of the longest motion timed in a page,
#              and OUT/bench_node.js, the same frames under node with their CPU time
# Objects and their dependency files stay in OUT/obj, so that a second run
# rebuilds only what changed.
SRC ?= .
OUT ?= build-web
OBJ := $(OUT)/obj
# Debian's emcc runs its JavaScript tools with the node on PATH and needs Debian's
# node modules when that node is not Debian's.
EMCC := env NODE_PATH=/usr/share/nodejs emcc

# The program's sources without the terminal console and the OpenGL primitives,
# which web/ replaces.
CORE_SOURCES := $(filter-out core/console.cpp,$(patsubst $(SRC)/%,%,$(wildcard $(SRC)/core/*.cpp))) \
  $(patsubst $(SRC)/%,%,$(wildcard $(SRC)/path/*.cpp $(SRC)/planner/*.cpp)) \
  render/view.cpp app/dialogue.cpp app/keys.cpp app/record.cpp
PAGE_SOURCES := $(CORE_SOURCES) render/frame.cpp render/phase_plots.cpp render/carriage.cpp \
  render/time_graphs.cpp render/answer_overlay.cpp $(patsubst $(SRC)/%,%,$(wildcard $(SRC)/web/*.cpp))
# The accuracy table under node: the terminal console (its streams are plain
# stdio there) and the test support of the table.
ACCURACY_SOURCES := $(CORE_SOURCES) core/console.cpp tests/support/guided.cpp tests/accuracy/reference.cpp \
  tests/accuracy/audit.cpp tests/accuracy/cases.cpp tests/accuracy/accuracy_report.cpp

# The message catalogues are part of the page, in its file system under /locale.
CXXFLAGS := -std=c++17 -O2 -fno-exceptions -Wall -Wextra -Wpedantic -ffp-contract=off -I$(SRC) \
  -DCPTOC_LOCALEDIR=\"/locale\"
LINGUAS := $(shell grep -v '^\#' $(SRC)/po/LINGUAS)
catalogues := $(patsubst %,$(OUT)/locale/%/LC_MESSAGES/cptoc.mo,$(LINGUAS))
# The dialogue waits for keys inside the program's own calls: ASYNCIFY unwinds
# them to the page and back. Only direct calls lead to a wait, so indirect calls
# need no instrumentation.
PAGE_LDFLAGS := -O2 -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT=1 -sASYNCIFY_STACK_SIZE=65536 \
  -sINITIAL_MEMORY=33554432 -sENVIRONMENT=web -sMINIFY_HTML=0 -sEXIT_RUNTIME=0 \
  --shell-file $(SRC)/web/shell.html --embed-file $(OUT)/locale@/locale
NODE_LDFLAGS := -O2 -sENVIRONMENT=node -sINITIAL_MEMORY=67108864 -sALLOW_MEMORY_GROWTH=1 \
  -sWASM_ASYNC_COMPILATION=0 -sEXIT_RUNTIME=1

BENCH_SOURCES := $(filter-out web/main.cpp,$(PAGE_SOURCES)) bench/bench_support.cpp bench/web_frame_bench.cpp

page_objects = $(patsubst %.cpp,$(OBJ)/%.o,$(PAGE_SOURCES))
accuracy_objects = $(patsubst %.cpp,$(OBJ)/node/%.o,$(ACCURACY_SOURCES))
bench_objects = $(patsubst %.cpp,$(OBJ)/%.o,$(BENCH_SOURCES))

.PHONY: page accuracy bench
page: $(OUT)/index.html
accuracy: $(OUT)/accuracy_report.js
bench: $(OUT)/bench.html $(OUT)/bench_node.js

$(OUT)/locale/%/LC_MESSAGES/cptoc.mo: $(SRC)/po/%.po
	@mkdir -p $(dir $@)
	msgfmt --check --output-file=$@ $<

$(OUT)/index.html: $(page_objects) $(catalogues) $(SRC)/web/shell.html
	$(EMCC) $(PAGE_LDFLAGS) $(page_objects) -o $(OUT)/cptoc.html
	mv $(OUT)/cptoc.html $(OUT)/index.html

$(OUT)/bench.html: $(bench_objects) $(SRC)/web/shell.html
	$(EMCC) $(PAGE_LDFLAGS) $(bench_objects) -o $@

$(OUT)/bench_node.js: $(bench_objects) $(SRC)/web/bench_node.js
	$(EMCC) $(filter-out -sENVIRONMENT=web --shell-file $(SRC)/web/shell.html,$(PAGE_LDFLAGS)) -sENVIRONMENT=node \
	  -sWASM_ASYNC_COMPILATION=0 --pre-js $(SRC)/web/bench_node.js $(bench_objects) -o $@

$(OUT)/accuracy_report.js: $(accuracy_objects)
	$(EMCC) $(NODE_LDFLAGS) $(accuracy_objects) -o $@

$(OBJ)/%.o: $(SRC)/%.cpp
	@mkdir -p $(dir $@)
	$(EMCC) $(CXXFLAGS) -MMD -MP -c $< -o $@

# The table's support uses exceptions of the standard library (std::vector, std::string).
$(OBJ)/node/%.o: $(SRC)/%.cpp
	@mkdir -p $(dir $@)
	$(EMCC) $(filter-out -fno-exceptions,$(CXXFLAGS)) -I$(SRC)/tests/accuracy -I$(SRC)/tests/support -MMD -MP -c $< -o $@

-include $(shell find $(OBJ) -name '*.d' 2>/dev/null)
