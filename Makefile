# Convenience front end over CMake. `make run` and `make test` are the two
# commands the README promises work on a fresh Debian machine.
BUILD_DIR ?= build
SAN_BUILD_DIR ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench test-asan format clean

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/tools/lumaro-demo

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/lumaro-bench

test-asan: deps
	cmake -S . -B $(SAN_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMARO_SANITIZE=address
	cmake --build $(SAN_BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(SAN_BUILD_DIR) --output-on-failure -j $(JOBS)

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SAN_BUILD_DIR)
