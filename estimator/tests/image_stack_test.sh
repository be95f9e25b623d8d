#!/bin/sh
# The README's recipes for TIFF stacks: a data set made into a multi-page TIFF, into one TIFF
# per slice, and into an 8-bit stack with white objects, comes back through the recipes as a
# data set with the same talvik output.
#
#   sh image_stack_test.sh BIN_DIR SOURCE_DIR
#
# Exit status 77 (skipped) without ImageMagick.
set -eu
bin=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if command -v convert >/dev/null 2>&1; then
    convert=convert
    identify=identify
elif command -v magick >/dev/null 2>&1; then
    convert=magick
    identify="magick identify"
else
    echo "skipped: ImageMagick is not installed (Debian package imagemagick)"
    exit 77
fi
work=$(mktemp -d /tmp/talvik-tiff-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}
cp "$source/examples/balls_r1-5.txt" "$work/balls.txt"
talvik() {
    "$bin/talvik" /d "$work/balls.txt" /b "$1" /e 2 || fail "talvik fails on $1"
}
cd "$work"
"$bin/Brisolt" --batch --x 40 --y 32 --z 16 --lambda 0.003 --radius 4 --law Uniform \
    --p1 1 --p2 4 --count 1 --prefix s --out . --seed 5 --yes >/dev/null 2>&1 ||
    fail "Brisolt cannot write the data set"
expected=$(talvik s000)

# One multi-page TIFF, as the README turns it into a data set.
$convert s000/sslice*.pbm stack.tif
mkdir data
n=$($identify -ping -format '%n\n' stack.tif | head -n 1)
for i in $(seq 0 $((n - 1))); do
    $convert "stack.tif[$i]" -threshold 50% "$(printf 'data/slice%04d.pbm' "$i")"
done
[ "$(talvik data)" = "$expected" ] || fail "the multi-page TIFF gives another result"

# One TIFF per slice.
mkdir stack data_from_files
$convert stack.tif stack/slice%04d.tif
i=0
for f in stack/*.tif; do
    $convert "$f" -threshold 50% "$(printf 'data_from_files/slice%04d.pbm' "$i")"
    i=$((i + 1))
done
[ "$(talvik data_from_files)" = "$expected" ] || fail "the TIFF files give another result"

# White objects on black, 8 bits a pixel: inverted by the recipe.
$convert stack.tif -negate -depth 8 -type Grayscale white_objects.tif
mkdir data_inverted
for i in $(seq 0 $((n - 1))); do
    $convert "white_objects.tif[$i]" -threshold 50% -negate \
        "$(printf 'data_inverted/slice%04d.pbm' "$i")"
done
[ "$(talvik data_inverted)" = "$expected" ] || fail "the inverted stack gives another result"
echo "TIFF stacks through the recipes: the same talvik output"
