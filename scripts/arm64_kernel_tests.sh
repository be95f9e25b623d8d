#!/bin/sh
# The distance kernels' per-target tests on arm64: NEON, SVE and SVE2 (and the SVE targets of
# fixed vector length), built with Debian's cross compiler and run under qemu with SVE vectors
# of 128, 256, 512 and 2048 bits. Needs g++-aarch64-linux-gnu, qemu-user-static and the arm64
# libhwy-dev and libgtest-dev (`make test-arm64` installs them).
#   scripts/arm64_kernel_tests.sh [OUTPUT_DIR]
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-build-arm64}
mkdir -p "$out"
test="$out/distance_kernels_test"
aarch64-linux-gnu-g++ -std=c++20 -O2 -Wall -Wextra -Werror -ffp-contract=off \
    -DHWY_COMPILE_ALL_ATTAINABLE -I"$source_dir/estimator" \
    "$source_dir/estimator/shells/distance_kernels.cpp" \
    "$source_dir/estimator/tests/distance_kernels_test.cpp" \
    -lhwy -lgtest -lgtest_main -pthread -o "$test"
for bytes in 16 32 64 256; do
    echo "== arm64, SVE vectors of $((bytes * 8)) bits"
    QEMU_CPU="max,sve-default-vector-length=$bytes" qemu-aarch64-static "$test"
done
