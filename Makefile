# SPDX-License-Identifier: GPL-3.0-or-later
# make run   builds (installing the Debian packages it needs) and starts the calculator
# make test  builds and runs every test, then the Qt-free layers' tests under
#            AddressSanitizer and UBSan (make sanitize) and each fuzz target for
#            FUZZ_SECONDS (make fuzz)
# make package builds the Debian package in the build folder
BUILD ?= build
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
# The sanitizer and fuzz builds compile with -O1 and line tables only: what
# they are for needs no more, and the whole test run stays within its time.
CHECK_FLAGS = -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
JOBS ?= $(shell nproc)

# The tests of the layers without Qt, and of the tools over them.
SANITIZED_TESTS = numbertext_test settings_test voice_reading_test voice_player_test readout_test key_sequence_test \
	script_evaluator_test expression_calculator_test update_test update_library_test cuetool_test \
	driver_process_test page_sanitizer_test tape_test
empty :=
space := $(empty) $(empty)

.PHONY: all deps configure build run test sanitize fuzz bench package format clean

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
	$(MAKE) --no-print-directory sanitize fuzz

# GCC's ASan+UBSan, in a build folder of its own; only the targets those
# tests need are built.
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CHECK_FLAGS) -DTALLYVOX_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS) --target $(SANITIZED_TESTS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300 \
		-R '^($(subst $(space),|,$(strip $(SANITIZED_TESTS))))$$'

# libFuzzer with clang: builds the harnesses of fuzz/ and runs each for
# FUZZ_SECONDS; fails on any crash, hang, leak or undefined behaviour.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CHECK_FLAGS) -DTALLYVOX_FUZZ=ON \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	./fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	./bench/run-all.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
