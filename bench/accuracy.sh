#!/bin/bash
# Accuracy of talvik on data whose truth is known: Boolean models of balls written by Brisolt's
# batch mode (the dialog's run, so every data set carries its model.txt), estimated with balls
# files of digital Euclidean balls, against Miles' formulae for the dilated set Xe.
#   bench/accuracy.sh [BUILD_DIR]        (KEEP=1 keeps the data sets in BUILD_DIR/accuracy)
# BUILD_DIR (default: build in the repository) is configured and its programs built when
# needed; the balls files, completed with their de values by talvik, are kept in
# BUILD_DIR/accuracy. Every model, seed and size is fixed, so the tables repeat exactly.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bin="$build/bin"
cache="$build/accuracy"

tools="talvik Brisolt make_workload accuracy_row"
mkdir -p "$cache"
log="$cache/build.log"
# shellcheck disable=SC2086
if ! { [ -f "$build/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release; } >"$log" 2>&1 ||
    ! cmake --build "$build" -j "${JOBS:-$(nproc)}" --target $tools >>"$log" 2>&1; then
    cat "$log" >&2
    echo "accuracy: the build failed (log above, also in $log)" >&2
    exit 1
fi

work=$(mktemp -d "$cache/run-XXXXXX")
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

# The balls of radii 1 to LAST; talvik fills in the de values on its first run and rewrites
# the file, which is then kept.
balls_file() {
    local last=$1 file="$cache/balls_r1-$1.txt"
    if [ ! -f "$file" ]; then
        [ -d "$cache/tiny" ] || "$bin/make_workload" boolean "$cache/tiny" 16 16 16 0.3 1 3 1
        "$bin/make_workload" balls "$file.tmp" 1 "$last"
        "$bin/talvik" /d "$file.tmp" /b "$cache/tiny" /e 1 >/dev/null
        mv "$file.tmp" "$file"
    fi
    echo "$file"
}

# name, law, p1, p2, R, lambda: sparse models have a volume fraction of about 0.05, dense
# ones about 0.2.
models=(
    "uniform-sparse Uniform 2 9 8 0.000066"
    "uniform-dense Uniform 2 9 8 0.00029"
    "lognormal-sparse LogNormal 1.5 0.4 12 0.00009"
    "lognormal-dense LogNormal 1.5 0.4 12 0.00039"
    "exponential-sparse Exponential 4 0 16 0.00006"
    "exponential-dense Exponential 4 0 16 0.00026"
)
sizes=(160 320)
replicates=8
# Every balls file with every epsilon; the main table has epsilon the largest ball.
files=(3 5 8)

start=$(date +%s)
for f in "${files[@]}"; do balls_file "$f" >/dev/null; done

# Each replicate is a run of its own with its own seed, so that the replicates are
# independent (the data sets of one run share their number of balls).
for m in "${!models[@]}"; do
    read -r name law p1 p2 radius lambda <<<"${models[$m]}"
    for s in "${!sizes[@]}"; do
        size=${sizes[$s]}
        echo "accuracy: $name, $replicates data sets of $size³" >&2
        for ((k = 0; k < replicates; k++)); do
            out="$work/$name-$size-$k"
            mkdir -p "$out"
            if ! "$bin/Brisolt" --batch --x "$size" --y "$size" --z "$size" --lambda "$lambda" \
                --radius "$radius" --law "$law" --p1 "$p1" --p2 "$p2" --count 1 --prefix "" \
                --out "$out" --seed $((20261208 + 1000 * m + 100 * s + k)) --yes \
                >"$out/brisolt.log" 2>&1; then
                cat "$out/brisolt.log" >&2
                exit 1
            fi
            for f in "${files[@]}"; do
                for ((e = 1; e <= f; e++)); do
                    "$bin/talvik" /d "$(balls_file "$f")" /b "$out/000" /e "$e" \
                        >"$out/r1-$f.e$e.out"
                done
            done
        done
    done
done

value() { sed -n "s/^$1 = //p" "$2"; }
mean_of() { awk '{ s += $1; n++ } END { printf "%.4f", s / n }'; }

echo "### Models ($replicates independent data sets per size)"
echo
echo "| model | law | p1 | p2 | R | lambda | V3 | measured V3, ${sizes[0]}³ | measured V3, ${sizes[1]}³ |"
echo "|---|---|---|---|---|---|---|---|---|"
for m in "${!models[@]}"; do
    read -r name law p1 p2 radius lambda <<<"${models[$m]}"
    measured=()
    for size in "${sizes[@]}"; do
        measured+=("$(for ((k = 0; k < replicates; k++)); do
            value measured_V3 "$work/$name-$size-$k/000/model.txt"
        done | mean_of)")
    done
    printf '| %s | %s | %s | %s | %s | %s | %.4f | %s | %s |\n' "$name" "$law" "$p1" "$p2" \
        "$radius" "$lambda" "$(value V3 "$work/$name-${sizes[0]}-0/000/model.txt")" \
        "${measured[0]}" "${measured[1]}"
done

# The outputs of every replicate for model NAME, size SIZE, balls file F and epsilon E.
outputs() {
    for ((k = 0; k < replicates; k++)); do echo "$work/$1-$2-$k/r1-$3.e$4.out"; done
}

echo
echo "### Estimates against the truth for Xe (epsilon the largest ball; mean of $replicates data sets, error ± its standard error)"
echo
echo "| model | size | balls | de | V2 estimate | V2 truth | V2 error | V1 estimate | V1 truth | V1 error | V0 estimate | V0 truth | V0 error |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for m in "${!models[@]}"; do
    name=${models[$m]%% *}
    for size in "${sizes[@]}"; do
        for f in "${files[@]}"; do
            # shellcheck disable=SC2046
            row=$("$bin/accuracy_row" "$work/$name-$size-0/000/model.txt" "$(balls_file "$f")" \
                "$f" $(outputs "$name" "$size" "$f" "$f"))
            printf '| %s | %s³ | r 1-%s, e %s %s\n' "$name" "$size" "$f" "$f" "$row"
        done
    done
done

# "median (largest)" of the absolute values in column C of the file.
spread() {
    awk -v c="$2" '{ print ($c < 0 ? -$c : $c) }' "$1" | sort -g | awk '{ a[NR] = $1 }
        END { m = NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2
              printf "%.1f (%.0f)", m, a[NR] }'
}

echo
echo "### Every balls file and epsilon: median |error| over the ${#models[@]} models (largest), in per cent"
echo
echo "| balls | epsilon | de | V2, ${sizes[0]}³ | V1, ${sizes[0]}³ | V0, ${sizes[0]}³ | V2, ${sizes[1]}³ | V1, ${sizes[1]}³ | V0, ${sizes[1]}³ |"
echo "|---|---|---|---|---|---|---|---|---|"
for f in "${files[@]}"; do
    for ((e = 1; e <= f; e++)); do
        cells=""
        for size in "${sizes[@]}"; do
            for m in "${!models[@]}"; do
                name=${models[$m]%% *}
                # shellcheck disable=SC2046
                "$bin/accuracy_row" --errors "$work/$name-$size-0/000/model.txt" \
                    "$(balls_file "$f")" "$e" $(outputs "$name" "$size" "$f" "$e")
            done >"$work/errors"
            for c in 1 2 3; do cells+=" | $(spread "$work/errors" "$c")"; done
        done
        de=$(sed -n 's/^\[ *\([0-9.]*\)\]$/\1/p' "$(balls_file "$f")" | sed -n "${e}p")
        printf '| r 1-%s | %s | %.3f%s |\n' "$f" "$e" "$de" "$cells"
    done
done

echo
echo "accuracy: done in $(($(date +%s) - start)) s" >&2
