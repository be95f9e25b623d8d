#!/bin/sh
# One Slurm task: talvik on one data set of the list, its row appended to the results file.
# Submitted by submit.sh; the data set is line SLURM_ARRAY_TASK_ID of the list (line 1 for
# the first job, which is no array task).
#SBATCH --job-name=talvik
#SBATCH --cpus-per-task=1
set -eu
list=$1
balls=$2
epsilon=$3
results=$4
data_set=$(sed -n "${SLURM_ARRAY_TASK_ID:-1}p" "$list")
# As many threads as the task was given cores.
export TALVIK_THREADS="${SLURM_CPUS_PER_TASK:-1}"
# TALVIK_OPTIONS may add talvik options, such as /v for progress in the job's output file.
# shellcheck disable=SC2086
exec "${TALVIK:-talvik}" ${TALVIK_OPTIONS:-} /o "$results" /d "$balls" /b "$data_set" /e "$epsilon"
