# `make demo` and `make test` work on a fresh Debian 12 machine: both install what is missing.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps build demo test asan fuzz-build fuzz bench clean

all: build

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build/release -j $(JOBS)

asan: deps
	cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DKOVA_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build/asan -j $(JOBS)

# Unit tests under the sanitizers, then every fuzz harness briefly over its seeds.
test: asan
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --test-dir build/asan --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$${FUZZ_SECONDS:-10}

fuzz-build: deps
	cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKOVA_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build build/fuzz -j $(JOBS) --target fuzzers

FUZZ_SECONDS ?= 60
fuzz: fuzz-build
	./scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

bench: build
	./scripts/run-benchmarks build/release

demo: build
	./scripts/play-demo build/release

clean:
	rm -rf build
