# The two commands most people need: `make run` and `make test`. Both install what is missing
# (Debian packages, through scripts/setup.sh), configure and build first.

BUILD ?= build
GENERATOR ?= Ninja
CMAKE_FLAGS ?=
ifneq ($(CI),)
CMAKE_FLAGS += -DBRENVIK_WERROR=ON
endif

.PHONY: all setup configure build run test bench tsan asan fuzz format package clean

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

tsan: setup
	@cmake -S . -B build-tsan -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DBRENVIK_SANITIZE=thread >/dev/null
	@cmake --build build-tsan
	@TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan -L core --output-on-failure

asan: setup
	@cmake -S . -B build-asan -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DBRENVIK_SANITIZE=address >/dev/null
	@cmake --build build-asan
	@scripts/test.sh build-asan

fuzz:
	@scripts/setup.sh --fuzz
	@scripts/fuzz.sh build-fuzz

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	@rm -rf $(BUILD) build-bench build-tsan build-asan build-fuzz
