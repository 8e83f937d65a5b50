# The two set-up commands of README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test bench accuracy install uninstall package clean web web-serve

all: build

build:
	@sh scripts/deps.sh build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target cptoc cptoc-answer

run: build
	./$(BUILD)/cptoc

test:
	@sh scripts/deps.sh test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCPTOC_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The accuracy table of README ("How good is the answer").
accuracy:
	@sh scripts/deps.sh test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCPTOC_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS) --target accuracy_report
	./$(BUILD)/tests/accuracy/accuracy_report

# Benchmarks (not part of the tests' pass/fail); figures recorded in BENCHMARKS.md.
bench:
	@sh scripts/deps.sh bench
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DCPTOC_BENCH=ON -DCPTOC_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)
	sh bench/run.sh $(BUILD)-bench
	$(MAKE) -f web/web.mk SRC=. OUT=$(WEB) -j $(JOBS) page bench
	/usr/bin/python3 bench/web_bench.py $(WEB)
	NODE_PATH=/usr/share/nodejs node --no-experimental-fetch $(WEB)/bench_node.js

# The browser edition: index.html, cptoc.js and cptoc.wasm in $(WEB), a folder
# for any static web server. web-serve shows it at http://127.0.0.1:$(PORT)/.
WEB ?= build-web
PORT ?= 8000
web:
	@sh scripts/deps.sh web
	$(MAKE) -f web/web.mk SRC=. OUT=$(WEB) -j $(JOBS)

web-serve: web
	@echo "cptoc: http://127.0.0.1:$(PORT)/ (Ctrl-C ends it)"
	cd $(WEB) && python3 -m http.server $(PORT) --bind 127.0.0.1

# Install the programs, manual pages, menu entry and documents under PREFIX
# (staged under DESTDIR when given): make install PREFIX=/usr DESTDIR=/tmp/stage
# A new build folder is configured without the tests; run as root, the build
# folder is given back to the owner of the sources afterwards.
# make uninstall removes what make install installed, and the folders it created.
PREFIX ?= /usr/local
DESTDIR ?=
install:
	@sh scripts/deps.sh build
	sh packaging/install-tree.sh install "$(BUILD)" "$(PREFIX)" "$(DESTDIR)" "$(JOBS)"

uninstall:
	sh packaging/install-tree.sh uninstall "$(BUILD)"

# The Debian package $(BUILD)/cptoc_<version>_<arch>.deb, its maintainer field
# from MAINTAINER="Name <address>" (default: the project's address). Its
# version and dates come from the commit, so configuring again is needed.
MAINTAINER ?=
package:
	@sh scripts/deps.sh package
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCPTOC_MAINTAINER="$(MAINTAINER)" \
	  $$(test -f $(BUILD)/CMakeCache.txt || echo -DCPTOC_TESTS=OFF)
	cmake --build $(BUILD) -j $(JOBS) --target installables
	cd $(BUILD) && cpack -G DEB
	@ls -l $(BUILD)/cptoc_*.deb

clean:
	rm -rf $(BUILD) $(WEB)
