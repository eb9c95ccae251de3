# Two commands set a fresh Debian 12 machine up: `make run` and `make test`.
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
BUILD_BENCH?= build-bench
BUILD_FUZZ ?= build-fuzz
BUILD_WINDOWS ?= build-windows
VERSION    := $(shell sed -n 's/^project.Norvalis VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
FUZZ_SECONDS ?= 60
# How long `make test` runs each fuzz target: enough to catch one that rotted.
FUZZ_SMOKE_SECONDS ?= 5
CMAKE_GEN  := -G Ninja
# A compiler cache, where one is installed, makes rebuilds of several trees cheap.
LAUNCHER   := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
EXAMPLE    ?= examples/shiftjis_quoted.csv

.PHONY: all setup setup-fuzz configure build run test test-normal test-sanitize test-fuzz \
        format-check format bench package fuzz clean setup-windows windows test-windows \
        test-windows-cli

all: build

setup:
	@bash scripts/setup.sh

setup-fuzz:
	@bash scripts/setup.sh --fuzz

setup-windows:
	@bash scripts/setup.sh --windows

# Reconfigured when this file changes, so an existing build tree picks up new options.
$(BUILD)/build.ninja: Makefile
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVALIS_WERROR=ON $(LAUNCHER)
	@touch $@

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

run: build
	$(BUILD)/src/app/norvalis -f=$(EXAMPLE)

format-check:
	@files=$$(git ls-files '*.cpp' '*.h'); \
	if [ -n "$$files" ]; then clang-format --dry-run --Werror $$files; fi

format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

test-normal: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

test-sanitize: setup
	cmake -S . -B $(BUILD_SAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DNORVALIS_SANITIZE=ON \
	  -DNORVALIS_WERROR=ON $(LAUNCHER)
	cmake --build $(BUILD_SAN)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2

# NorvalisSetup-$(VERSION).exe in $(BUILD_WINDOWS): the programs cross-built with mingw-w64
# against Qt for Windows (built once into ~/.cache/norvalis, about 25 minutes on two cores).
windows: setup-windows
	bash scripts/windows/build.sh $(BUILD_WINDOWS)
	bash scripts/windows/make-installer.sh $(BUILD_WINDOWS) $(BUILD_WINDOWS)

# Every test program of the Windows build under Wine, norvalis-check.exe --dump equal to Linux on
# every file of tests/data and examples, and the installer's smoke run.
test-windows: windows configure
	cmake --build $(BUILD) --target norvalis-check
	bash scripts/windows/test-windows.sh $(BUILD_WINDOWS) $(BUILD)/cli/norvalis-check
	bash scripts/windows/smoke-installer.sh $(BUILD_WINDOWS)/NorvalisSetup-$(VERSION).exe \
	  $(BUILD)/cli/norvalis-check

# The headless part alone, without Qt: the core, norvalis-check.exe and the core tests.
test-windows-cli: setup-windows configure
	cmake --build $(BUILD) --target norvalis-check
	bash scripts/windows/build.sh --cli-only $(BUILD_WINDOWS)-cli
	bash scripts/windows/test-windows.sh $(BUILD_WINDOWS)-cli $(BUILD)/cli/norvalis-check

# Every fuzz target built with clang and run for a few seconds.
test-fuzz: setup-fuzz
	BUILD_FUZZ=$(BUILD_FUZZ) FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS) bash scripts/run-fuzz.sh

test: setup format-check test-normal test-sanitize test-fuzz

bench: setup
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DNORVALIS_BENCH=ON -DNORVALIS_TESTS=OFF
	cmake --build $(BUILD_BENCH)
	@# DuckDB, the yardstick of the rules benchmark; without npm or the registry it reads n/a.
	-@command -v npm >/dev/null 2>&1 && [ ! -d $(BUILD_BENCH)/duckdb/node_modules/@duckdb/node-api ] && \
	  npm install --prefix $(BUILD_BENCH)/duckdb --no-audit --no-fund --silent @duckdb/node-api
	NORVALIS_BENCH_DATA=$(BUILD_BENCH)/bench-data $(BUILD_BENCH)/bench/norvalis-bench
	@for b in norvalis-grid-bench norvalis-check-bench norvalis-tools-bench norvalis-views-bench norvalis-rules-bench norvalis-filter-bench; do \
	  if [ -x $(BUILD_BENCH)/bench/$$b ]; then \
	    NORVALIS_BENCH_DATA=$(BUILD_BENCH)/bench-data \
	    NORVALIS_DUCKDB_MODULES=$(CURDIR)/$(BUILD_BENCH)/duckdb/node_modules \
	    $(BUILD_BENCH)/bench/$$b || exit 1; fi; \
	done

package: build
	cd $(BUILD) && cpack

# Every libFuzzer target for FUZZ_SECONDS each (clang build in $(BUILD_FUZZ)).
fuzz: setup-fuzz
	BUILD_FUZZ=$(BUILD_FUZZ) FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/run-fuzz.sh

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_BENCH) $(BUILD_FUZZ) $(BUILD_WINDOWS) $(BUILD_WINDOWS)-cli
