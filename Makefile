# Set-up, build, run and test in one place. Works on a fresh Debian 12 machine:
# the first call installs the missing packages (with sudo when not root).

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
# Under the sanitizers code runs 5-20 times slower, and a loaded machine slower still: a test
# function may take up to this many milliseconds (QtTest's own limit is 300 s), a test program
# this many seconds.
SANITIZE_FUNCTION_MS ?= 1200000
SANITIZE_TEST_SECONDS ?= 2400
# Seconds each fuzz target runs.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_number fuzz_cmdline fuzz_template fuzz_csv fuzz_planimport

.PHONY: all deps configure build run test bench clean check-sanitize fuzz package

all: build

deps:
	@bash scripts/install-deps.sh

# Under continuous integration (CI=true) a compiler warning fails the build.
WERROR ?= $(if $(filter true 1,$(CI)),ON,OFF)

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DKELMO_WERROR=$(WERROR) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The program on the embedded database in its program folder.
run: build
	$(BUILD_DIR)/bin/kelmo

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Every benchmark program, then one table of each goal: figure, goal and verdict.
BENCH_PROGRAMS = kelmo-bench-engine kelmo-bench-situation kelmo-bench-zone kelmo-bench-siteplan \
	kelmo-bench-scenarios kelmo-bench-map kelmo-bench-planimport kelmo-bench-reports \
	kelmo-bench-server

bench: build
	QT_QPA_PLATFORM=$${QT_QPA_PLATFORM:-offscreen} python3 bench/bench_table.py \
		$(BUILD_DIR)/bench $(BENCH_PROGRAMS)

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer. A leak in
# our own code fails the run; scripts/lsan.supp names the few third-party ones, each with
# its reason. Full stacks on every allocation (fast_unwind_on_malloc=0) let the suppressions
# see through libraries built without frame pointers.
check-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELMO_SANITIZE=ON \
		-DKELMO_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && \
		ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=0 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		QTEST_FUNCTION_TIMEOUT=$(SANITIZE_FUNCTION_MS) \
		ctest --output-on-failure --timeout $(SANITIZE_TEST_SECONDS) -j $(JOBS)

# libFuzzer targets (clang) for the number parser, the command-line parser, the template
# reader, the structures file and the general-plan reader, each run for FUZZ_SECONDS from the
# seed corpus in fuzz/corpus. New inputs the fuzzer finds are kept in the build folder, not in
# the repository.
fuzz:
	@bash scripts/install-deps.sh --fuzz
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELMO_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(FUZZ_TARGETS)
	@set -e; for t in $(FUZZ_TARGETS); do \
		c=$${t#fuzz_}; mkdir -p $(FUZZ_DIR)/corpus/$$c $(FUZZ_DIR)/crashes; \
		echo "== $$t: $(FUZZ_SECONDS) s"; \
		$(FUZZ_DIR)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
			-artifact_prefix=$(FUZZ_DIR)/crashes/$$t- -print_final_stats=1 \
			$(FUZZ_DIR)/corpus/$$c fuzz/corpus/$$c; \
	done

# The Debian package: $(BUILD_DIR)/kelmo_<version>_amd64.deb.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
