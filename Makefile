# Vantrel: `make` installs what is missing and builds dist/; `make test` runs
# every test. BUILD names the build tree (the Wine prefixes live there too).
# VANTREL_EMULATE_I386=1 in the environment runs the 32-bit Wine suite under
# qemu's i386 emulation even where the kernel runs 32-bit code.
BUILD ?= build
# Seconds each fuzzer runs, all side by side: briefly in `make test`, longer
# in `make fuzz` (default 300; make fuzz FUZZ_SECONDS=3600).
FUZZ_SECONDS ?=
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

HOST := $(BUILD)/host
FUZZ := $(BUILD)/fuzz
CMAKE_QUIET := -DCMAKE_RULE_MESSAGES=OFF --log-level=WARNING

.PHONY: all tools dist dlls test host-test wine-test arm64-test java-test fuzz bench clean

all: dist

tools:
	@scripts/install-tools.sh

# The DLL for each architecture, in its own build tree: 32-bit x86 in
# $(BUILD)/win32, 64-bit x86-64 in $(BUILD)/win64 and 64-bit ARM in
# $(BUILD)/arm64. Only the DLLs are built here; `make test` builds the test
# programs.
dlls: tools
	@for tree in win32:mingw-i686 win64:mingw-x86_64 arm64:clang-aarch64; do \
	  cmake -S . -B $(BUILD)/$${tree%%:*} -DCMAKE_TOOLCHAIN_FILE=cmake/$${tree#*:}.cmake \
	    -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET) && \
	  cmake --build $(BUILD)/$${tree%%:*} -j $(JOBS) --target Vantrel Vantrel_debug || exit 1; \
	done

dist: dlls
	@scripts/package.sh $(BUILD) dist

test: dist
	@scripts/run-tests.sh $(BUILD) $(or $(FUZZ_SECONDS),10) $(JOBS)

host-test: tools
	@scripts/run-tests.sh $(BUILD) 0 $(JOBS) host

wine-test: dist
	@scripts/run-tests.sh $(BUILD) 0 $(JOBS) wine

arm64-test: dist
	@scripts/run-tests.sh $(BUILD) 0 $(JOBS) arm64

java-test: dist
	@scripts/run-tests.sh $(BUILD) 0 $(JOBS) java

fuzz: tools
	@scripts/run-tests.sh $(BUILD) $(or $(FUZZ_SECONDS),300) $(JOBS) fuzz

# The host benchmarks (tests/*/*_bench.cpp), optimised and without
# sanitizers; not part of `make test`.
bench: tools
	@cmake -S . -B $(BUILD)/bench -DVANTREL_BENCH=ON -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET) && \
	  cmake --build $(BUILD)/bench -j $(JOBS) && \
	  for program in $(BUILD)/bench/*_bench; do $$program; done

clean:
	rm -rf $(BUILD) dist
