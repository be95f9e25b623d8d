# Entry points: `make demo` sets everything up and runs the estimator on the shipped example;
# `make test` sets everything up and runs the whole test suite.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

FUZZ_SECONDS ?= 20

.PHONY: all deps configure build demo test test-slurm test-arm64 sanitize fuzz hardening bench accuracy package test-package clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./$(BUILD)/bin/talvik /d examples/balls_r1-5.txt /b examples/boolean64 /e 5

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE slurm

# The Slurm job array on a one-node cluster that the test starts on this machine (as root);
# installs the Debian packages slurm-wlm and munge first.
test-slurm: build
	./scripts/install-deps.sh slurm-wlm munge
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -L slurm

# The distance kernels' tests on arm64 (NEON, SVE, SVE2), cross-compiled and run under qemu;
# installs the cross compiler, qemu and the arm64 libraries first.
test-arm64:
	./scripts/install-deps.sh g++-aarch64-linux-gnu qemu-user-static libhwy-dev:arm64 googletest
	./scripts/arm64_kernel_tests.sh $(BUILD)-arm64

# The libraries and programs that need no window, and their tests, under AddressSanitizer and
# UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B $(BUILD)-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DSTEREOLOGY_SANITIZE=ON -DSTEREOLOGY_DIALOGS=OFF -DSTEREOLOGY_BENCH=OFF
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS) -LE slurm

# Every fuzz target for FUZZ_SECONDS on its seed corpus.
fuzz: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(BUILD)-fuzz -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTEREOLOGY_FUZZ=ON -DSTEREOLOGY_DIALOGS=OFF \
		-DSTEREOLOGY_TESTS=OFF -DSTEREOLOGY_BENCH=OFF -DSTEREOLOGY_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(BUILD)-fuzz -j $(JOBS)
	cd $(BUILD)-fuzz && ctest --output-on-failure -j $(JOBS)

hardening: sanitize fuzz

# The Debian packages, into $(BUILD)/packages: stereology (talvik), stereology-dialogs and, where
# the module is built, python3-talvik.
package: build
	cd $(BUILD) && cpack -G DEB -B packages

# Installs the packages with apt-get, checks the installed talvik against `make demo` and its
# manual page, removes them again, and runs lintian (errors fail).
test-package: package
	./scripts/install-deps.sh lintian
	sh scripts/check_packages.sh $(BUILD)

bench: build
	./bench/run_benchmarks.sh $(BUILD)
	sh bench/brisolt_benchmark.sh $(BUILD)

accuracy: build
	./bench/accuracy.sh $(BUILD)

clean:
	rm -rf $(BUILD)
