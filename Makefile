# Vantrel: `make` installs what is missing and builds dist/; `make test` runs
# every test. BUILD names the build tree (the Wine prefix lives there too).
BUILD ?= build
FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory

WIN := $(BUILD)/win
HOST := $(BUILD)/host
FUZZ := $(BUILD)/fuzz
CMAKE_QUIET := -DCMAKE_RULE_MESSAGES=OFF --log-level=WARNING

.PHONY: all tools dist test host-test fuzz-smoke wine-test java-test fuzz clean

all: dist

tools:
	@scripts/install-tools.sh

dist: tools
	@cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_QUIET)
	@cmake --build $(WIN) -j $(JOBS)
	@scripts/package.sh $(WIN) dist

test: dist
	@scripts/run-tests.sh $(BUILD) $(FUZZ_SECONDS) $(JOBS)

host-test: tools
	@scripts/run-tests.sh $(BUILD) 0 $(JOBS) host

wine-test: dist
	@scripts/run-tests.sh $(BUILD) 0 $(JOBS) wine

java-test: dist
	@scripts/run-tests.sh $(BUILD) 0 $(JOBS) java

# A longer fuzz run: make fuzz FUZZ_SECONDS=3600
fuzz: tools
	@scripts/run-tests.sh $(BUILD) $(FUZZ_SECONDS) $(JOBS) fuzz

clean:
	rm -rf $(BUILD) dist
