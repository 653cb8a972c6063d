# Top-level driver. `make test` is what CI runs; `make run` is the quick look.
#   make            build both trees (build/native and build/win32)
#   make test       install what is missing, build everything, run every test
#   make run        install what is missing, build, and start Orvanta Explorer on sample images
#   make play       install what is missing, build, and start Grentix
#   make sanitize   native tests under AddressSanitizer and UBSan
#   make fuzz       every libFuzzer target for FUZZ_SECONDS each
#   make fuzz-long  every libFuzzer target for FUZZ_RUNS executions each (by hand; hours)
#   make wine-test  the Win32 tests under Wine (needs `make win32`)
#   make bench      timings by hand: ovxcli ls -R against hls, mdir and 7-Zip; listing growth; copy as text; disk imaging

JOBS ?= 2
FUZZ_SECONDS ?= 20
FUZZ_RUNS ?= 10000000
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

# BUILD moves all trees elsewhere (for example to keep two checkouts apart).
BUILD ?= build
NATIVE := $(BUILD)/native
WIN32 := $(BUILD)/win32
SANITIZE := $(BUILD)/sanitize

.PHONY: all deps native win32 sanitize-build sanitize fuzz fuzz-long native-test wine-test test run play bench clean

all: native win32

deps:
	@tools/setup-deps

native: deps
	@cmake -S . -B $(NATIVE) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS) >/dev/null

win32: deps
	@cmake -S . -B $(WIN32) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@cmake --build $(WIN32) -j$(JOBS) >/dev/null

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

# A kernel without 32-bit emulation cannot start 32-bit Wine at all: the
# tests are then reported as not run, loudly, rather than as failed.
wine-test: win32
	@echo "== Win32 tests under Wine"
	@if tools/kernel-runs-32bit; then \
	    tools/wine-session ctest --test-dir $(WIN32) --output-on-failure --timeout 300; \
	else \
	    echo "== NOT RUN: this machine's kernel refuses 32-bit programs (Exec format error), so 32-bit Wine"; \
	    echo "== cannot start; the Win32 tests were built but not run. A kernel with 32-bit emulation runs them."; \
	fi

test: native-test sanitize fuzz wine-test

# Not part of `make test`: timings are shown, never asserted.
bench: native win32
	@tools/bench-listing $(NATIVE)
	@$(NATIVE)/ovx/volume/ovx_listing_benchmark
	@$(NATIVE)/grentix/platform/grentix_frames_benchmark
	@echo "== copy as text of HFS texts of short lines, under Wine"
	@tools/wine-session tools/wine-exec $(WIN32)/ovx/explorer/ovx_copy_text_timing.exe
	@tools/bench-imaging $(WIN32)

run: win32
	@tools/run-explorer $(WIN32)/ovx/explorer/OVX.exe $(WIN32)/samples $(BUILD)/screenshots

play: win32
	@tools/play-grentix $(WIN32)/grentix/platform/Grentix.exe $(BUILD)/screenshots $(ARGS)

clean:
	rm -rf $(BUILD)
