# Entry points: `make demo` sets everything up and runs the estimator on the shipped example;
# `make test` sets everything up and runs the whole test suite.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build demo test bench clean

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
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	./bench/run_benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD)
