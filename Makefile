# Front door. `make` builds all three configurations, `make test` runs every
# test (installing what is missing first), `make bench` the benchmarks
# (`make bench-cli` and `make bench-desktop` beside it),
# `make run ARGS='...'` starts Zorv under Wine, `make dist` writes the release
# packages into build/dist/ and `make dist-check` checks them. The CMake presets
# (native, native-release, win64, win32) remain usable directly.

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
ARGS ?=

.PHONY: all setup native win64 win32 release test test-native test-win64 test-win32 \
        fuzz bench bench-cli bench-desktop test-large test-kill run dist dist-check format clean

all: native win64 win32

setup:
	@scripts/setup

native win64 win32 native-release: setup
	@cmake --preset $@ >/dev/null
	@cmake --build --preset $@ -j $(JOBS)

test: setup
	@scripts/run-tests

test-native: native
	@ctest --preset native -j $(JOBS)

test-win64: win64
	@scripts/with-display ctest --preset win64 -j $(JOBS)

test-win32: win32
	@scripts/with-display ctest --preset win32 -j $(JOBS)

fuzz: native
	@scripts/run-fuzz $(FUZZ_SECONDS)

bench: native-release
	@build/native-release/bench/zorv-bench

bench-cli: native-release
	@scripts/bench-cli

# The desktop program against zorv-cli.exe under the same Wine (minutes).
bench-desktop: win64
	@scripts/bench-desktop

# Opt-in: a sparse 4.5 GiB file round-trips through zorv-cli (minutes, ~9 GiB).
test-large: native-release
	@scripts/test-large

# Opt-in: zorv-cli, and zorv.exe under Wine, killed at KILLS moments of each
# kind of job, each kill followed by a retry (minutes).
KILLS ?= 40
test-kill: native win64
	@status=0; scripts/kill-harness $(KILLS) || status=1; \
	ZORV_KILL_MOMENTS=$(KILLS) scripts/with-display scripts/wine-run \
	    build/win64/tests/e2e/e2e_kill_test.exe || status=1; exit $$status

dist: setup
	@scripts/make-dist

dist-check: dist
	@scripts/check-dist

run: win64
	@scripts/run-zorv $(ARGS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
