#!/bin/sh
# Runs talvik on every data set of a list as Slurm jobs, into one results file:
#
#   sh submit.sh LIST BALLS EPSILON RESULTS [sbatch options...]
#
# LIST holds one data-set directory per line. The first data set runs as a job of its own,
# which computes the correction values missing from BALLS and stores them; the others run as
# one job array that starts when that job has succeeded, so the values are computed once.
# Every task appends its row to RESULTS (talvik locks the file while it appends). Give every
# path as the compute nodes see it (a shared file system). sbatch options, such as
# --partition, --cpus-per-task or --output, are passed on to both submissions.
set -eu
if [ $# -lt 4 ]; then
    echo "usage: sh submit.sh LIST BALLS EPSILON RESULTS [sbatch options...]" >&2
    exit 2
fi
list=$1
balls=$2
epsilon=$3
results=$4
shift 4
task="$(cd "$(dirname "$0")" && pwd)/talvik-task.sh"
count=$(awk 'END { print NR }' "$list")
if [ "$count" -eq 0 ]; then
    echo "submit.sh: $list names no data set" >&2
    exit 1
fi
first=$(sbatch --parsable "$@" "$task" "$list" "$balls" "$epsilon" "$results")
first=${first%%;*}
echo "first data set and correction values: job $first"
if [ "$count" -gt 1 ]; then
    # When the first job fails, the array is cancelled instead of waiting for ever.
    array=$(sbatch --parsable --dependency="afterok:$first" --kill-on-invalid-dep=yes \
        --array="2-$count" "$@" "$task" "$list" "$balls" "$epsilon" "$results")
    echo "data sets 2 to $count: job array $array"
fi
