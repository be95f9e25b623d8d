#!/bin/sh
# The distance kernels' per-target tests on arm64: NEON, SVE and SVE2 (and the SVE targets of
# fixed vector length), built with Debian's cross compiler and run under qemu with SVE vectors
# of 128, 256, 512 and 2048 bits. Needs g++-aarch64-linux-gnu, qemu-user-static, the arm64
# libhwy-dev and GoogleTest's sources (googletest), which it builds for arm64 itself: an arm64
# libgtest-dev beside the native one would make the native package's name ambiguous to dpkg.
# `make test-arm64` installs them.
#   scripts/arm64_kernel_tests.sh [OUTPUT_DIR]
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-build-arm64}
gtest=/usr/src/googletest/googletest
mkdir -p "$out"
test="$out/distance_kernels_test"
if [ ! -f "$out/gtest-all.o" ]; then
    aarch64-linux-gnu-g++ -std=c++20 -O2 -I"$gtest/include" -I"$gtest" \
        -c "$gtest/src/gtest-all.cc" -o "$out/gtest-all.o"
fi
aarch64-linux-gnu-g++ -std=c++20 -O2 -Wall -Wextra -Werror -ffp-contract=off \
    -DHWY_COMPILE_ALL_ATTAINABLE -I"$source_dir/estimator" -isystem "$gtest/include" \
    "$source_dir/estimator/shells/distance_kernels.cpp" \
    "$source_dir/estimator/tests/distance_kernels_test.cpp" \
    "$gtest/src/gtest_main.cc" "$out/gtest-all.o" -lhwy -pthread -o "$test"
for bytes in 16 32 64 256; do
    echo "== arm64, SVE vectors of $((bytes * 8)) bits"
    QEMU_CPU="max,sve-default-vector-length=$bytes" qemu-aarch64-static "$test"
done
