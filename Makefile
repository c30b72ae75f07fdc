# Convenience front end over CMake. `make run` and `make test` are the two
# commands the README promises work on a fresh Debian machine.
BUILD_DIR ?= build
SAN_BUILD_DIR ?= build-asan
TSAN_BUILD_DIR ?= build-tsan
FUZZ_BUILD_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Seconds per fuzz target: `make fuzz` on demand, `make fuzz-ci` in CI.
FUZZ_SECONDS ?= 600
FUZZ_CI_SECONDS ?= 30
# Minutes of audio per sample rate in the long soak (`make soak`).
SOAK_MINUTES ?= 60
# `make install`: per user (~/.vst3, ~/.local/bin) unless PREFIX is given
# (PREFIX/lib/vst3, PREFIX/bin); DESTDIR is honoured either way.
PREFIX ?=

.PHONY: all deps configure build run test bench test-asan test-tsan fuzz-build fuzz fuzz-ci \
        soak ci install uninstall deb product format clean panel-picture

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/tools/lumaro-render

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/lumaro-bench

# The README's picture of the editor at 100 %, drawn off-screen by the
# editor's own classes (a test checks that the committed picture is current).
panel-picture: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target lumaro-panel
	$(BUILD_DIR)/tools/lumaro-panel -o docs/lumaro-panel.png

# The sanitizer builds leave out the benchmarks: they assert nothing.
test-asan: deps
	cmake -S . -B $(SAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMARO_SANITIZE=address \
	    -DLUMARO_BUILD_BENCH=OFF
	cmake --build $(SAN_BUILD_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --test-dir $(SAN_BUILD_DIR) --output-on-failure -j $(JOBS)

# ThreadSanitizer runs the suites labelled "threads" (two-thread hand-offs,
# queues, timers, parameter changes against processing); only their
# executables, and what they load, are built.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMARO_SANITIZE=thread \
	    -DLUMARO_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD_DIR) -j $(JOBS) --target \
	    $$(ctest --test-dir $(TSAN_BUILD_DIR) -L threads -N | sed -n 's/^ *Test *#[0-9]*: //p')
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	    ctest --test-dir $(TSAN_BUILD_DIR) -L threads --output-on-failure -j $(JOBS)

# libFuzzer targets (clang, ASan+UBSan+LSan in every library they link).
fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DLUMARO_FUZZ=ON -DLUMARO_BUILD_TESTS=OFF -DLUMARO_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS) --target lumaro_fuzzers

fuzz: fuzz-build
	fuzz/run-fuzzers $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-ci: fuzz-build
	fuzz/run-fuzzers $(FUZZ_BUILD_DIR) $(FUZZ_CI_SECONDS) $(FUZZ_TARGETS)

# The long soak: SOAK_MINUTES of audio per sample rate, with the strict
# timing bound.
soak: build
	LUMARO_SOAK_MINUTES=$(SOAK_MINUTES) $(BUILD_DIR)/tests/soak/equalizer_soak_tests

# Everything CI runs: Release, ASan+UBSan, TSan, bounded fuzzing.
ci: test test-asan test-tsan fuzz-ci

# Only the product: the plug-in bundle and lumaro-render.
install: product
	DESTDIR="$(DESTDIR)" ./scripts/install-product install $(BUILD_DIR) $(PREFIX)

# Removes exactly what `make install` with the same PREFIX and DESTDIR puts.
uninstall: product
	DESTDIR="$(DESTDIR)" ./scripts/install-product uninstall $(BUILD_DIR) $(PREFIX)

# The Debian package, $(BUILD_DIR)/lumaro-eq_<version>_<arch>.deb.
deb: product
	cd $(BUILD_DIR) && cpack --config CPackConfig.cmake

# Brings the product up to date in a configured tree without configuring
# again, so that `sudo make install` after `make` leaves no root-owned files
# in the build tree; configures and builds everything in a fresh clone.
product:
	@if [ -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	    cmake --build $(BUILD_DIR) -j $(JOBS) --target lumaro_eq_vst3 lumaro-render; \
	else \
	    $(MAKE) build; \
	fi

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SAN_BUILD_DIR) $(TSAN_BUILD_DIR) $(FUZZ_BUILD_DIR)
