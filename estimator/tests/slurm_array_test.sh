#!/bin/sh
# The Slurm job array of examples/cluster on a one-node cluster started here (munged,
# slurmctld and slurmd on this machine, stopped at the end): 16 data sets, the correction
# values computed by the first job alone, the same rows as talvik run on each in turn.
#
#   sh slurm_array_test.sh BIN_DIR SOURCE_DIR
#
# Exit status 77 (skipped) without root or without the slurm-wlm and munge packages.
set -eu
bin=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
for program in munged slurmctld slurmd sbatch squeue; do
    if ! command -v "$program" >/dev/null 2>&1 && ! [ -x "/usr/sbin/$program" ]; then
        echo "skipped: $program is not installed (Debian packages slurm-wlm and munge)"
        exit 77
    fi
done
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: starting the Slurm daemons needs root"
    exit 77
fi
PATH="$PATH:/usr/sbin"

work=$(mktemp -d /tmp/talvik-slurm-XXXXXX)
chmod 755 "$work"
munged_pid=""
stop() {
    for daemon in slurmd slurmctld; do
        if [ -s "$work/$daemon.pid" ]; then
            kill "$(cat "$work/$daemon.pid")" 2>/dev/null || true
        fi
    done
    if [ -n "$munged_pid" ]; then
        munged --socket="$work/munge.socket" --stop >/dev/null 2>&1 || true
    fi
    # The daemons hold files in the folder until they have gone.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        alive=0
        for daemon in slurmd slurmctld; do
            if [ -s "$work/$daemon.pid" ] && kill -0 "$(cat "$work/$daemon.pid")" 2>/dev/null; then
                alive=1
            fi
        done
        [ $alive -eq 0 ] && break
        sleep 1
    done
    rm -rf "$work"
}
trap stop EXIT
fail() {
    echo "FAILED: $*"
    for log in "$work"/*.log; do
        echo "--- $log"
        tail -n 20 "$log"
    done
    exit 1
}

# munge: a key of its own and a socket in the scratch folder.
dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 2>/dev/null
chmod 400 "$work/munge.key"
munged --force --key-file="$work/munge.key" --socket="$work/munge.socket" \
    --pid-file="$work/munged.pid" --log-file="$work/munged.log" \
    --seed-file="$work/munged.seed" || fail "munged does not start"
munged_pid=$(cat "$work/munged.pid")

host=$(hostname -s)
mkdir -p "$work/state" "$work/spool"
cat >"$work/slurm.conf" <<CONF
ClusterName=talvik-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=26817
SlurmdPort=26818
AuthType=auth/munge
AuthInfo=socket=$work/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$work/slurm.conf"
slurmctld -i || fail "slurmctld does not start"
slurmd || fail "slurmd does not start"
# Wait for the node to take work.
ready=0
for _ in $(seq 60); do
    if sinfo -h -o %t 2>/dev/null | grep -q idle; then
        ready=1
        break
    fi
    sleep 1
done
[ $ready -eq 1 ] || fail "the node does not become idle"

# 16 data sets, and a balls file whose second ball lacks its value.
mkdir "$work/data"
"$bin/Brisolt" --batch --x 20 --y 20 --z 20 --lambda 0.002 --radius 4 --law Uniform \
    --p1 1 --p2 4 --count 16 --prefix s --out "$work/data" --seed 7 --yes >/dev/null 2>&1 ||
    fail "Brisolt cannot write the data sets"
ls -d "$work"/data/s*/ >"$work/list.txt"
awk '/^\[/ && ++n == 2 { next } { print }' "$source/examples/balls_r1-5.txt" >"$work/balls.txt"
cp "$work/balls.txt" "$work/balls_sequential.txt"

TALVIK="$bin/talvik" TALVIK_OPTIONS=/v sh "$source/examples/cluster/submit.sh" \
    "$work/list.txt" "$work/balls.txt" 2 "$work/results.txt" --output="$work/job-%A_%a.out" ||
    fail "submit.sh cannot submit the jobs"
finished=0
for _ in $(seq 300); do
    if [ -z "$(squeue -h 2>/dev/null)" ]; then
        finished=1
        break
    fi
    sleep 1
done
[ $finished -eq 1 ] || fail "the jobs do not finish"

while read -r data_set; do
    "$bin/talvik" /o "$work/sequential.txt" /d "$work/balls_sequential.txt" /b "$data_set" /e 2 \
        >/dev/null || fail "talvik fails on $data_set"
done <"$work/list.txt"

[ "$(head -n 1 "$work/results.txt")" = "$(printf '; Data_set\tV2\tV1\tV0')" ] ||
    fail "the results file does not start with the header"
tail -n +2 "$work/results.txt" | sort >"$work/rows.txt"
tail -n +2 "$work/sequential.txt" | sort >"$work/rows_sequential.txt"
cmp -s "$work/rows.txt" "$work/rows_sequential.txt" ||
    fail "the rows differ from talvik's run on one data set after the other:
$(diff "$work/rows.txt" "$work/rows_sequential.txt")"
cmp -s "$work/balls.txt" "$work/balls_sequential.txt" || fail "the balls files differ"
computing=$(grep -l "generating data set Re" "$work"/job-*.out | wc -l)
[ "$computing" -eq 1 ] || fail "$computing jobs computed the missing value, not 1"
echo "16 data sets as a Slurm job array: the same rows as one after the other"
