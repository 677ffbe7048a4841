# Linovex: `make run` and `make test` each install what is missing, configure, build and go.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
WERROR ?= OFF
CMAKE_FLAGS ?=
ARGS ?=
CTEST_ARGS ?=

.PHONY: all deps test-deps configure build run test asan fuzz bench package clean

all: build

deps:
	bash scripts/install-deps.sh build

test-deps:
	bash scripts/install-deps.sh test

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DLINOVEX_WERROR=$(WERROR) $(CMAKE_FLAGS)

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/linovex $(ARGS)

test: test-deps configure
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The whole suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer.
asan:
	$(MAKE) test BUILD=build-asan BUILD_TYPE=Debug CMAKE_FLAGS="-DLINOVEX_SANITIZE=ON -DLINOVEX_BUILD_BENCH=OFF $(CMAKE_FLAGS)"

# Builds the libFuzzer programs with clang and runs each entry FUZZ_SECONDS on its corpus.
FUZZ_SECONDS ?= 60
fuzz:
	bash fuzz/run $(FUZZ_SECONDS)

# Builds the benchmarks in release mode, runs them and prints the table of figures and targets.
bench:
	bash bench/run

# A Debian package of the editor and the converter: $(BUILD)/linovex_<version>_<arch>.deb.
package: configure
	bash scripts/install-deps.sh package
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-bench
