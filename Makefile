# SPDX-License-Identifier: GPL-3.0-or-later
# make run   builds (installing the Debian packages it needs) and starts the calculator
# make test  builds and runs every test
# make package builds the Debian package in the build folder
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench package format clean

all: build

deps:
	./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/tallyvox

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	./bench/run-all.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
