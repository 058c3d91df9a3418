# The two commands a newcomer needs: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifeq ($(CI),true)
CMAKE_FLAGS += -DVELLUM_WERROR=ON
endif

.PHONY: all deps build run serve docs test test-sanitize bench fuzz svg-compare clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Only the program and the plug-in it loads: the tests and benchmarks wait for `make test`.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target vellum Vellum2D
	$(BUILD)/cli/vellum run examples/default.json --out out

# The editor on examples/default.json: builds vellum, the plug-in and the page, and prints the
# address to open (SERVE_PORT picks the port).
SERVE_PORT ?= 8470
serve: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target vellum Vellum2D web
	$(BUILD)/cli/vellum serve examples/default.json --port $(SERVE_PORT)

# docs/patches.md is `vellum patches --markdown`: the build writes it into $(BUILD)/docs, this
# copies it over the committed page, and `make test` fails while the two differ. The editor's
# screenshot comes along once the browser test has taken it.
docs: build
	cp $(BUILD)/docs/patches.md docs/patches.md
	if [ -f $(BUILD)/docs/editor.png ]; then cp $(BUILD)/docs/editor.png docs/editor.png; fi

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" || exit 1; done

# The whole suite with AddressSanitizer (leak checking included) and UndefinedBehaviorSanitizer,
# in its own folder; any report fails the test that caused it.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DVELLUM_SANITIZE=ON -DVELLUM_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# libFuzzer harnesses (clang), each run for FUZZ_SECONDS from the seeds in fuzz/corpus/NAME;
# new inputs collect in $(FUZZ_BUILD)/corpus/NAME, crashes in $(FUZZ_BUILD)/artifacts/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz:
	@scripts/install-deps fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DVELLUM_FUZZ=ON -DVELLUM_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target vellum_fuzzers
	fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Renders a corpus of real SVG files (icon sets from npm, openclipart) through the reader and the
# renderer and through rsvg-convert, and prints how many look the same (see README).
svg-compare: build
	scripts/fetch-svg-corpus $(BUILD)/svg-corpus.txt
	$(BUILD)/bench/svg_compare $(BUILD)/svg-corpus.txt $(BUILD)/svg-compare

clean:
	rm -rf $(BUILD) out
