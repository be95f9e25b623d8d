#!/usr/bin/python3
"""talvik.estimate on an array in memory against the program on the same data set on disk.

    /usr/bin/python3 bench/python_module.py [BUILD_DIR] [--side N] [--repeat N]

Writes the Boolean model BUILD_DIR/bench-data/booleanN (as run_benchmarks.sh does) and the same
volume as booleanN.npy, then for each balls file runs, REPEAT times in turn, the program (its
wall time includes starting and loading its slices; its peak resident memory from GNU time)
and one talvik.estimate in a fresh interpreter that has loaded the array with numpy (the time
counted from the array in memory; the memory as the rise of the peak above what the
interpreter held with the array just before the call). Prints the fastest of each, their
ratio, and the largest memory figures. Both use every core unless TALVIK_THREADS says
otherwise. The load average is printed before and after.
"""
import argparse
import os
import pathlib
import subprocess
import sys
import time

SOURCE = pathlib.Path(__file__).resolve().parent.parent


def load_average():
    return " ".join(open("/proc/loadavg").read().split()[:3])


def memory_kb(field):
    for line in open("/proc/self/status"):
        if line.startswith(field + ":"):
            return int(line.split()[1])
    raise RuntimeError(f"no {field} in /proc/self/status")


def lines(result):
    return "V2: %20.16f\nV1: %20.16f\nV0: %20.16f\n" % (result.V2, result.V1, result.V0)


def run_program(talvik, balls, data_set):
    """Wall seconds and peak resident kB of one quiet run, and its output."""
    start = time.perf_counter()
    run = subprocess.run(["/usr/bin/time", "-f", "%M", talvik, "/d", balls, "/b", data_set,
                          "/e", "1"], capture_output=True, text=True, check=True)
    seconds = time.perf_counter() - start
    return seconds, int(run.stderr.split()[-1]), run.stdout


def run_module(build, array_file, balls):
    """Wall seconds of one estimate in a fresh interpreter, the rise of its resident memory
    above what it held with the array (kB), and the output lines."""
    run = subprocess.run([sys.executable, __file__, build, "--one", array_file, balls],
                         capture_output=True, text=True, check=True)
    seconds, rise, output = run.stdout.split(" ", 2)
    return float(seconds), int(rise), output


def one_estimate(array_file, balls):
    import numpy as np

    import talvik

    volume = np.load(array_file)
    before = memory_kb("VmRSS")
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")  # the peak (VmHWM) starts again from what is resident now
    start = time.perf_counter()
    result = talvik.estimate(volume, balls, 1)
    seconds = time.perf_counter() - start
    print(seconds, memory_kb("VmHWM") - before, lines(result), end="")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build", type=pathlib.Path)
    parser.add_argument("--side", type=int, default=512)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--one", nargs=2, help=argparse.SUPPRESS)
    args = parser.parse_args()
    build = args.build.resolve()
    sys.path.insert(0, str(build / "python"))
    if args.one:
        one_estimate(*args.one)
        return
    import numpy as np

    import talvik

    bin_dir = build / "bin"
    data_set = build / "bench-data" / f"boolean{args.side}"
    array_file = data_set.with_suffix(".npy")
    if not data_set.is_dir():
        data_set.parent.mkdir(parents=True, exist_ok=True)
        side = str(args.side)
        subprocess.run([bin_dir / "make_workload", "boolean", data_set, side, side, side, "0.3",
                        "2", "8", side], check=True)
    if not array_file.exists():
        np.save(array_file, talvik.load_data_set(data_set))
    print(f"load average before: {load_average()}")
    size = np.load(array_file, mmap_mode="r").size
    print(f"data set {data_set.name}: array {size / 2**20:.0f} MiB, bit volume "
          f"{size / 8 / 2**20:.0f} MiB")
    print("| balls | program s | module s | module / program | program peak MiB | "
          "module rise MiB | same output |")
    print("|---|---|---|---|---|---|---|")
    for balls in (SOURCE / "examples/balls_r1-5.txt", SOURCE / "examples/balls_recommended.txt"):
        program_times, module_times, program_peak, module_rise, same = [], [], 0, 0, True
        for _ in range(args.repeat):
            seconds, peak, expected = run_program(bin_dir / "talvik", balls, data_set)
            program_times.append(seconds)
            program_peak = max(program_peak, peak)
            seconds, rise, output = run_module(build, array_file, balls)
            module_times.append(seconds)
            module_rise = max(module_rise, rise)
            same = same and output == expected
        program, module = min(program_times), min(module_times)
        print(f"| {balls.name} /e 1 | {program:.3f} | {module:.3f} | {module / program:.2f} | "
              f"{program_peak / 1024:.1f} | {module_rise / 1024:.1f} | "
              f"{'yes' if same else 'NO'} |")
    print(f"load average after: {load_average()}")


if __name__ == "__main__":
    main()
