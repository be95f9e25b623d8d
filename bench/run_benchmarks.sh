#!/bin/bash
# Benchmark tables of the estimator, on deterministic workloads:
#  1. talvik's two paths side by side, in the same run: the distance path (every digital
#     Euclidean ball from one distance transform) on each SIMD target that the processor runs
#     (TALVIK_SIMD), and the word path (TALVIK_WORD_PATH=1, one dilation per ball); each path's
#     load and total time and peak memory, their ratio, and whether the verbose output (time
#     stamps and the line naming the SIMD target aside) and the rewritten balls file are the
#     same.
#  2. talvik against the voxel-by-voxel talvik_literal, stage by stage.
#   bench/run_benchmarks.sh [BUILD_DIR] [--quick]
# --quick leaves out the 2048^3 workload (a 1 GB data set) and the 512^3 literal run (about
# four minutes). REPEAT=N (default 3) runs each path of table 1 N times and keeps the
# fastest; the machine's load average is printed before and after, since other work on it
# slows every row. TARGETS="avx512 avx2" limits table 1 to those SIMD targets (default: every
# one the processor runs; the plain "scalar" one takes about ten times as long as the others).
set -euo pipefail

build=${1:-build}
quick=no
[ "${2:-}" = "--quick" ] || [ "${1:-}" = "--quick" ] && quick=yes
[ "$build" = "--quick" ] && build=build
repeat=${REPEAT:-3}
bin="$build/bin"
data="$build/bench-data"
mkdir -p "$data"

for tool in make_workload talvik talvik_stages; do
    [ -x "$bin/$tool" ] || { echo "missing $bin/$tool: build first (make build)" >&2; exit 1; }
done

# Balls files with their correction values stored, filled in by talvik itself once.
balls_file() {
    local first=$1 last=$2 file="$data/balls_r$1-$2.txt"
    if [ ! -f "$file" ]; then
        "$bin/make_workload" balls "$file.tmp" "$first" "$last"
        [ -d "$data/tiny" ] || "$bin/make_workload" boolean "$data/tiny" 16 16 16 0.3 1 3 1
        "$bin/talvik_stages" fast /d "$file.tmp" /b "$data/tiny" /e 1 >/dev/null 2>&1 || true
        mv "$file.tmp" "$file"
    fi
    echo "$file"
}

data_set() {
    local side=$1 dir="$data/boolean$1"
    [ -d "$dir" ] || "$bin/make_workload" boolean "$dir" "$side" "$side" "$side" 0.3 2 8 "$side"
    echo "$dir"
}

# Runs one engine; prints "load de shells fit total peak" and keeps its results.
run_engine() {
    local engine=$1 out=$2; shift 2
    local line
    line=$("$bin/talvik_stages" "$engine" "$@" 2>&1 >"$out" | grep '^stages ')
    echo "$line" | sed -E 's/stages load=([^ ]*) de=([^ ]*) shells=([^ ]*) fit=([^ ]*) total=([^ ]*) peak_mb=([^ ]*)/\1 \2 \3 \4 \5 \6/'
}

# Time stamps and the line naming the SIMD target left out.
strip_stamps() { sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}: //' | grep -v '^SIMD target: ' || true; }

# Verbose outputs, time stamps aside, and balls files both the same: "yes", else "NO".
same_outputs() {
    if cmp -s <(strip_stamps <"$1") <(strip_stamps <"$2") && cmp -s "$3" "$4"; then
        echo yes
    else
        echo NO
    fi
}

load_average() { cut -d' ' -f1-3 /proc/loadavg; }

# The SIMD targets that talvik knows and the processor runs, best first: talvik lists the
# names it knows when TALVIK_SIMD names none, and refuses a target the processor cannot run.
simd_targets() {
    local known t
    known=$(TALVIK_SIMD=- "$bin/talvik" /h 2>&1 | sed -n 's/.*talvik knows \(.*\)\.$/\1/p' | tr -d ,)
    for t in $known; do
        TALVIK_SIMD=$t "$bin/talvik" /h >/dev/null 2>&1 && echo "$t"
    done
}

# One path REPEAT times on a fresh copy of the balls file: "load total peak" of the fastest
# run (the largest peak of all), its output in $work/$name.out and its balls file in
# $work/$name.txt. The path is "word" or a SIMD target of the distance path.
run_path() {
    local name=$1 balls=$2 dir=$3 epsilon=$4 path=$5
    local work="$data/work" best="" peak=0 i line
    mkdir -p "$work"
    for ((i = 0; i < repeat; i++)); do
        cp "$balls" "$work/$name.txt"
        if [ "$path" = word ]; then
            line=$(TALVIK_WORD_PATH=1 run_engine fast "$work/$name.run" /v /d "$work/$name.txt" /b "$dir" /e "$epsilon")
        else
            line=$(TALVIK_SIMD=$path run_engine fast "$work/$name.run" /v /d "$work/$name.txt" /b "$dir" /e "$epsilon")
        fi
        [ "$i" = 0 ] && mv "$work/$name.run" "$work/$name.out"
        peak=$(awk -v a="$peak" -v b="$(echo "$line" | cut -d' ' -f6)" 'BEGIN { print (b > a ? b : a) }')
        if [ -z "$best" ] || awk -v a="$(echo "$line" | cut -d' ' -f5)" -v b="$(echo "$best" | cut -d' ' -f5)" 'BEGIN { exit !(a < b) }'; then
            best=$line
        fi
    done
    echo "$(echo "$best" | cut -d' ' -f1) $(echo "$best" | cut -d' ' -f5) $peak"
}

# The word path once, then the distance path on each target, all in one run: a line per
# target with the word path's numbers beside it.
paths_row() {
    local label=$1 balls_label=$2 epsilon=$3 balls=$4 dir=$5
    local work="$data/work" distance word ratio target
    word=$(run_path word "$balls" "$dir" "$epsilon" word)
    for target in $targets; do
        distance=$(run_path distance "$balls" "$dir" "$epsilon" "$target")
        ratio=$(awk -v a="$(echo "$distance" | cut -d' ' -f2)" -v b="$(echo "$word" | cut -d' ' -f2)" \
            'BEGIN { printf "%.1fx", b / a }')
        printf '%-10s %-12s %-7s | %-8s | %-26s | %-26s | %-13s %s\n' "$label" "$balls_label" \
            "$epsilon" "$target" "$distance" "$word" "$ratio" \
            "$(same_outputs "$work/distance.out" "$work/word.out" "$work/distance.txt" "$work/word.txt")"
    done
}

r15=$(balls_file 1 5)
r110=$(balls_file 1 10)
r132=$(balls_file 1 32)
targets=${TARGETS:-$(simd_targets)}

echo "Processor: $(lscpu | sed -n 's/^Model name: *//p' | head -1); SIMD targets: $(echo $targets)"
echo "Distance path on each SIMD target against word path (fastest of $repeat runs each); load average before: $(load_average)"
printf '%-10s %-12s %-7s | %-8s | %-26s | %-26s | %-13s %s\n' "data set" "balls" "epsilon" \
    "target" "distance: load total(s) MB" "word: load total(s) MB" "word/distance" "same output"
paths_row "256^3" "r 1-5" 5 "$r15" "$(data_set 256)"
paths_row "1000^3" "r 1-10" 10 "$r110" "$(data_set 1000)"
paths_row "512^3" "r 1-32 (32)" 1 "$r132" "$(data_set 512)"
if [ "$quick" = no ]; then
    paths_row "2048^3" "r 1-10" 10 "$r110" "$(data_set 2048)"
fi
echo "load average after: $(load_average)"
echo

row() {
    local label=$1 balls_label=$2 epsilon=$3 balls=$4 dir=$5 literal=$6
    local work="$data/work"
    mkdir -p "$work"
    cp "$balls" "$work/fast_balls.txt"
    cp "$balls" "$work/literal_balls.txt"
    local fast lit="-" ratio="-" same="-"
    fast=$(run_engine fast "$work/fast.out" /v /d "$work/fast_balls.txt" /b "$dir" /e "$epsilon")
    if [ "$literal" = yes ]; then
        lit=$(run_engine literal "$work/literal.out" /v /d "$work/literal_balls.txt" /b "$dir" /e "$epsilon")
        ratio=$(awk -v a="$(echo "$fast" | cut -d' ' -f5)" -v b="$(echo "$lit" | cut -d' ' -f5)" \
            'BEGIN { printf "%.0fx", b / a }')
        same=$(same_outputs "$work/fast.out" "$work/literal.out" "$work/fast_balls.txt" "$work/literal_balls.txt")
    fi
    printf '%-10s %-9s %-8s | %-44s | %-44s | %s %s\n' "$label" "$balls_label" "$epsilon" \
        "$fast" "$lit" "$ratio" "$same"
}

echo "talvik against the voxel-by-voxel reference; load average before: $(load_average)"
printf '%-10s %-9s %-8s | %-44s | %-44s | %s\n' "data set" "balls" "epsilon" \
    "talvik: load de shells fit total(s) peak(MB)" \
    "literal: load de shells fit total(s) peak(MB)" "speed-up, same output"
row "128^3" "r 1-5" 1 "$r15" "$(data_set 128)" yes
row "256^3" "r 1-5" 1 "$r15" "$(data_set 256)" yes
row "256^3" "r 1-5" 5 "$r15" "$(data_set 256)" yes
if [ "$quick" = no ]; then
    row "512^3" "r 1-5" 1 "$r15" "$(data_set 512)" yes
else
    row "512^3" "r 1-5" 1 "$r15" "$(data_set 512)" no
fi

# Correction values computed from scratch: the balls files without their values.
[ -d "$data/tiny" ] || "$bin/make_workload" boolean "$data/tiny" 16 16 16 0.3 1 3 1
"$bin/make_workload" balls "$data/r1.txt" 1 1
"$bin/make_workload" balls "$data/r5.txt" 5 5
"$bin/make_workload" balls "$data/r10.txt" 10 10
for r in 1 5 10; do
    literal=no
    [ "$r" != 10 ] && [ "$quick" = no ] && literal=yes
    [ "$r" = 1 ] && literal=yes
    # One ball cannot be fitted: the run stops after the value is computed and written back.
    row "16^3" "r $r, no de" 1 "$data/r$r.txt" "$data/tiny" "$literal"
done
echo "load average after: $(load_average)"
