# Front door. `make run` sets up, builds and starts the program under Wine in a sandbox
# prefix of the build tree; `make test` sets up, builds everything and runs every test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
# `make test` builds the fuzz tree (clang with AddressSanitizer and UBSan: the portable unit
# tests run there, sanitized, and its fuzzers run briefly) and the two Windows trees, whose
# test programs hold what needs Windows; `tools/test-all.sh` ends with the time of each phase.
# The plain native tree is for the developer's own loop and the benchmarks.
FUZZ_SECONDS ?= 15

.PHONY: all setup build native win32 win64 fuzz-build test test-native test-win32 test-win64 \
        run dist fuzz fuzz-long asan tsan bench art clean

all: build

setup:
	@bash tools/setup.sh

build/%/build.ninja: CMakePresets.json CMakeLists.txt
	cmake --preset $* >/dev/null

native win32 win64: %: setup build/%/build.ninja
	cmake --build --preset $* -j $(JOBS)

fuzz-build: setup build/fuzz/build.ninja
	cmake --build --preset fuzz -j $(JOBS)

build: native win32 win64

test:
	@bash tools/test-all.sh $(FUZZ_SECONDS)

test-native test-win32 test-win64: test-%: %
	@bash tools/run-tests.sh $*

asan tsan: %: setup build/%/build.ninja
	cmake --build --preset $* -j $(JOBS)
	ctest --test-dir build/$* --output-on-failure

fuzz: fuzz-build
	@bash tools/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# A longer run: make fuzz-long FUZZ_SECONDS=3600
fuzz-long: fuzz-build
	@bash tools/run-fuzzers.sh build/fuzz $(or $(FUZZ_LONG_SECONDS),600)

bench: native win64
	cmake --build --preset native --target benchmarks -j $(JOBS)
	cmake --build --preset win64 --target benchmarks -j $(JOBS)
	@bash tools/run-benchmarks.sh

run: win64
	@bash tools/run.sh build/win64

dist: win32 win64
	@bash tools/dist.sh

art:
	/usr/bin/python3 resources/art/make_art.py

clean:
	rm -rf build dist
