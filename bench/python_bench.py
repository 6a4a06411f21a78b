#!/usr/bin/env python3
"""python_bench.py - the Python module against the command line on the
genome benchmark's W1 (reference-point -b 500 -a 1500 --binSize 10, 60,000
genes x 4 score files): wall time of computing the matrix and peak memory,
the two run alternately in fresh processes.

The command line's time is taken up to its "Built matrix" progress line
(the matrix computed, before the file is written); the module's is the
reference_point() call. Its peak memory is the process's, and also less
the interpreter's with numpy and the module imported. Usage:

  python_bench.py --data DIR --exe build-bench/binscope --module build-py/python [--threads 2] [--pairs 3]

DIR is the data folder of genome_bench (scripts/bench.sh makes it).
"""
import argparse
import os
import subprocess
import sys
import time

W1 = ["-b", "500", "-a", "1500", "--binSize", "10"]
W1_KEYWORDS = "before_region_start_length=500, after_region_start_length=1500, bin_size=10"

MODULE_RUN = """
import resource, sys, time
import numpy, binscope
base = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
started = time.monotonic()
m = binscope.reference_point({scores!r}, {regions!r}, {keywords}, number_of_processors={threads})
seconds = time.monotonic() - started
print(seconds, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss, base, m.values.shape[0])
"""


def run_cli(exe, scores, regions, threads, out):
    """Seconds to the "Built matrix" line, and the child's peak RSS in KiB."""
    started = time.monotonic()
    child = subprocess.Popen([exe, "reference-point", "-S", *scores, "-R", regions, "-o", out, *W1, "-p",
                              str(threads)], stderr=subprocess.PIPE, text=True)
    built = None
    for line in child.stderr:
        if line.startswith("[binscope] Built matrix") and built is None:
            built = time.monotonic() - started
    _, status, usage = os.wait4(child.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("the command line failed")
    return built, usage.ru_maxrss


def run_module(python, module, scores, regions, threads):
    env = dict(os.environ, PYTHONPATH=module)
    code = MODULE_RUN.format(scores=scores, regions=regions, keywords=W1_KEYWORDS, threads=threads)
    done = subprocess.run([python, "-c", code], env=env, check=True, capture_output=True, text=True)
    seconds, peak, base, _ = done.stdout.split()
    return float(seconds), int(peak), int(base)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--data", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--module", required=True, help="folder holding the built module")
    parser.add_argument("--python", default="/usr/bin/python3")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--pairs", type=int, default=3)
    args = parser.parse_args()
    scores = [os.path.join(args.data, f"sample{i}.bw") for i in range(1, 5)]
    regions = os.path.join(args.data, "genes.bed")
    out = os.path.join(args.data, "python_bench_w1.gz")
    cli_times, module_times = [], []
    cli_peaks, module_peaks = [], []
    for pair in range(args.pairs):
        built, peak = run_cli(args.exe, scores, regions, args.threads, out)
        seconds, module_peak, base = run_module(args.python, args.module, scores, regions, args.threads)
        cli_times.append(built)
        module_times.append(seconds)
        cli_peaks.append(peak)
        module_peaks.append((module_peak, module_peak - base))
        print(f"pair {pair + 1}: command line {built:.2f} s (peak {peak} KiB), module {seconds:.2f} s "
              f"(peak {module_peak} KiB, {module_peak - base} KiB beyond the interpreter)")
    os.remove(out)
    cli_best, module_best = min(cli_times), min(module_times)
    print(f"W1 -p {args.threads}: module / command line time {module_best / cli_best:.3f} (at most 1.05)")
    cli_peak = max(cli_peaks)
    module_peak = max(p for p, _ in module_peaks)
    beyond = max(b for _, b in module_peaks)
    print(f"peak memory: command line {cli_peak} KiB, module {module_peak} KiB "
          f"({module_peak / cli_peak:.3f}), beyond the interpreter {beyond} KiB ({beyond / cli_peak:.3f})")


if __name__ == "__main__":
    main()
