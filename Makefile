# Set-up, build, run and test in one place. Works on a fresh Debian 12 machine:
# the first call installs the missing packages (with sudo when not root).

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The program on the embedded database in its program folder.
run: build
	$(BUILD_DIR)/bin/kelmo

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/kelmo-bench-engine
	$(BUILD_DIR)/bench/kelmo-bench-reports
	$(BUILD_DIR)/bench/kelmo-bench-zone
	$(BUILD_DIR)/bench/kelmo-bench-situation

clean:
	rm -rf $(BUILD_DIR)
