#!/bin/sh
# Installs the Debian packages the build needs, and nothing when they are all present.
set -eu

packages="g++ make cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev"
# Qt's SVG plugins draw the dialogs' window icons.
packages="$packages libqt6svg6"
# Quenbar's plot of the fit and its SVG export; Qt Charts' CMake package needs Qt OpenGL's.
packages="$packages qt6-charts-dev qt6-svg-dev libqt6opengl6-dev"
# The fuzz targets are built with clang's libFuzzer.
packages="$packages clang-14 libclang-rt-14-dev"
# The tests of the README's recipes: GNU parallel, and ImageMagick for TIFF stacks.
packages="$packages parallel imagemagick"
# The locale definitions from which the tests make de_DE.UTF-8, a locale with a decimal comma.
packages="$packages locales"
# The distance kernels are written once for every SIMD target with Google Highway.
packages="$packages libhwy-dev"
# The manual pages' test renders them with man.
packages="$packages man-db"
# The Python module and its tests (Debian's python3), and the plot of its example.
packages="$packages python3-dev pybind11-dev python3-numpy python3-pytest python3-tifffile"
packages="$packages python3-matplotlib"
packages="$packages $*"

# Packages of another architecture (name:arm64) need it added to dpkg first.
for p in $packages; do
    case "$p" in
    *:*)
        arch=${p#*:}
        if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
            if [ "$(id -u)" -eq 0 ]; then dpkg --add-architecture "$arch"; else sudo dpkg --add-architecture "$arch"; fi
        fi
        ;;
    esac
done

# A package installed for two architectures must be named with the native one.
native=$(dpkg --print-architecture)
missing=""
for p in $packages; do
    dpkg -s "$p" >/dev/null 2>&1 || dpkg -s "$p:$native" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
else
    sudo="sudo"
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
