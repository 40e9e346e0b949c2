# Front door. `make run` sets up, builds and starts the program under Wine in a sandbox
# prefix of the build tree; `make test` sets up, builds everything and runs every test.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
PRESETS := native win32 win64

.PHONY: all setup configure build native win32 win64 test test-native test-win32 test-win64 \
        run dist fuzz fuzz-long asan tsan bench art clean

all: build

setup:
	@bash tools/setup.sh

build/%/build.ninja: CMakePresets.json CMakeLists.txt
	cmake --preset $* >/dev/null

native win32 win64: %: setup build/%/build.ninja
	cmake --build --preset $* -j $(JOBS)

build: native win32 win64

test: build
	@bash tools/run-tests.sh $(PRESETS)

test-native test-win32 test-win64: test-%: %
	@bash tools/run-tests.sh $*

asan tsan: %: setup build/%/build.ninja
	cmake --build --preset $* -j $(JOBS)
	ctest --test-dir build/$* --output-on-failure

fuzz: setup build/fuzz/build.ninja
	cmake --build --preset fuzz -j $(JOBS)
	@bash tools/run-fuzzers.sh build/fuzz 20

fuzz-long: setup build/fuzz/build.ninja
	cmake --build --preset fuzz -j $(JOBS)
	@bash tools/run-fuzzers.sh build/fuzz 600

bench: native win64
	@bash tools/run-benchmarks.sh

run: win64
	@bash tools/run.sh build/win64

dist: win32 win64
	@bash tools/dist.sh

art:
	/usr/bin/python3 resources/art/make_art.py

clean:
	rm -rf build dist
