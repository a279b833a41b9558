# The two commands most people need: `make run` and `make test`. Both install what is missing
# (Debian packages, through scripts/setup.sh), configure and build first.

BUILD ?= build
GENERATOR ?= Ninja
CMAKE_FLAGS ?=
ifneq ($(CI),)
CMAKE_FLAGS += -DBRENVIK_WERROR=ON
endif

.PHONY: all setup configure build run test bench tsan asan fuzz stress format package clean

all: build

setup:
	@scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	@scripts/run.sh $(BUILD)/brenvik

test: build
	@scripts/test.sh $(BUILD)

bench: setup
	@cmake -S . -B build-bench -G $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DBRENVIK_BENCH=ON \
	  -DBRENVIK_TESTS=OFF >/dev/null
	@cmake --build build-bench
	@scripts/bench.sh build-bench

# The wash is the program's only multi-threaded part: its tests run under ThreadSanitizer. Qt from
# the distribution is not built for it, so reports from inside Qt's own threads are suppressed.
TSAN_TESTS = wash_engine_tests wash_linux_tests wash_report_tests wash_gui_tests
tsan: setup
	@cmake -S . -B build-tsan -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DBRENVIK_SANITIZE=thread >/dev/null
	@cmake --build build-tsan --target $(TSAN_TESTS)
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan-qt.supp" \
	  ctest --test-dir build-tsan -R '^(WashEngine|WashLinux|WashReport|WashLog|ProgressDialog|MemoryToFree|AutoWash|WashTriggers)' \
	  --output-on-failure --timeout 300

asan: setup
	@cmake -S . -B build-asan -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DBRENVIK_SANITIZE=address >/dev/null
	@cmake --build build-asan
	@scripts/test.sh build-asan

fuzz:
	@scripts/setup.sh --fuzz
	@scripts/fuzz.sh build-fuzz

# brenvikctl killed at random moments of its startup commands, a few hundred times.
STRESS_RUNS ?= 300
stress: configure
	@cmake --build $(BUILD) --target brenvikctl
	@tests/startup/kill-stress.sh $(BUILD)/brenvikctl $(STRESS_RUNS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	@rm -rf $(BUILD) build-bench build-tsan build-asan build-fuzz
