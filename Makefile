# Top-level driver. `make test` is what CI runs; `make run` is the quick look.
#   make            build the three trees (build/native, build/win32, build/win64)
#   make win32      the 32-bit Windows programs and their tests alone (likewise win64, native)
#   make test       install what is missing, build everything, run every test
#   make run        install what is missing, build, and start Orvanta Explorer on sample images
#   make play       install what is missing, build, and start Grentix
#   make sanitize   native tests under AddressSanitizer and UBSan
#   make fuzz       every libFuzzer target for FUZZ_SECONDS each
#   make fuzz-long  every libFuzzer target for FUZZ_RUNS executions each (by hand; hours)
#   make wine-test  the Windows tests under Wine, of every Windows tree this machine can run
#   make bench      timings by hand: ovxcli ls -R against hls, mdir and 7-Zip; listing growth; copy as text; disk imaging

JOBS ?= 2
FUZZ_SECONDS ?= 20
FUZZ_RUNS ?= 10000000
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

# BUILD moves all trees elsewhere (for example to keep two checkouts apart).
BUILD ?= build
NATIVE := $(BUILD)/native
WIN32 := $(BUILD)/win32
WIN64 := $(BUILD)/win64
SANITIZE := $(BUILD)/sanitize

# The Windows build that `make run`, `make play` and `make bench` start: the
# 32-bit programs where the kernel runs 32-bit programs, else the 64-bit ones.
RUN_ARCH := $(shell tools/kernel-runs-32bit && echo win32 || echo win64)
RUN_TREE := $(BUILD)/$(RUN_ARCH)
RUN_WITH := ORVANTA_WINEARCH=$(RUN_ARCH)

.PHONY: all deps native win32 win64 sanitize-build sanitize fuzz fuzz-long native-test wine-test test run play bench clean

all: native win32 win64

deps:
	@tools/setup-deps

native: deps
	@cmake -S . -B $(NATIVE) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS) >/dev/null

win32: deps
	@cmake --no-warn-unused-cli -S . -B $(WIN32) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@cmake --build $(WIN32) -j$(JOBS) >/dev/null

win64: deps
	@cmake --no-warn-unused-cli -S . -B $(WIN64) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	@cmake --build $(WIN64) -j$(JOBS) >/dev/null

# clang, so that the same tree also builds the libFuzzer targets.
sanitize-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DORVANTA_SANITIZE=ON -DORVANTA_FUZZ=ON >/dev/null
	@cmake --build $(SANITIZE) -j$(JOBS) >/dev/null

sanitize: sanitize-build
	@echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
	@ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(SANITIZE) --output-on-failure -j$(JOBS)

fuzz: sanitize-build
	@tools/run-fuzzers $(SANITIZE) $(FUZZ_SECONDS)

fuzz-long: sanitize-build
	@tools/run-fuzzers $(SANITIZE) 0 $(FUZZ_RUNS)

native-test: native
	@echo "== native tests"
	@ctest --test-dir $(NATIVE) --output-on-failure -j$(JOBS)

# Every Windows tree this machine can run: the 64-bit one always, the 32-bit
# one where the kernel runs 32-bit programs. Says which ran and which could
# not, and fails when none could.
wine-test: win32 win64
	@tools/windows-tests $(WIN32) $(WIN64)

test: native-test sanitize fuzz wine-test

# Not part of `make test`: timings are shown, never asserted.
bench: native $(RUN_ARCH)
	@tools/bench-listing $(NATIVE)
	@$(NATIVE)/ovx/volume/ovx_listing_benchmark
	@$(NATIVE)/grentix/platform/grentix_frames_benchmark
	@echo "== copy as text of HFS texts of short lines, under Wine ($(RUN_ARCH) build)"
	@$(RUN_WITH) tools/wine-session tools/wine-exec $(RUN_TREE)/ovx/explorer/ovx_copy_text_timing.exe
	@$(RUN_WITH) tools/bench-imaging $(RUN_TREE)

run: $(RUN_ARCH)
	@echo "run: the $(RUN_ARCH) build ($(RUN_TREE))"
	@$(RUN_WITH) tools/run-explorer $(RUN_TREE)/ovx/explorer/OVX.exe $(RUN_TREE)/samples $(BUILD)/screenshots

play: $(RUN_ARCH)
	@echo "play: the $(RUN_ARCH) build ($(RUN_TREE))"
	@$(RUN_WITH) tools/play-grentix $(RUN_TREE)/grentix/platform/Grentix.exe $(BUILD)/screenshots $(ARGS)

clean:
	rm -rf $(BUILD)
