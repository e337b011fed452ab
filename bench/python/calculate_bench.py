#!/usr/bin/env python3
"""tarvio.calculate of the largest OFDM job (2000 packets of 2300 octets,
54 Mbit/s, OverSampling 3: about 57 Msamples) against the command line's
time for the same job (tarvio-cli calc, which leaves the samples in the
packet file), each run five times, interleaved, the fastest kept.

Reported: python_over_cli, the time of the calculate() call against the
whole tarvio-cli process (goal at most 1.1); the whole Python process
against it too (interpreter and numpy start included); both against
tarvio-cli calc --dump (the command line's way to hand the samples on);
and the Python process's peak memory against the waveform's bytes
(rss_over_waveform, goal at most 1.1; the interpreter, numpy and the
library are in it).

usage: PYTHONPATH=build/python /usr/bin/python3 bench/python/calculate_bench.py [BUILD_BIN_DIR]
"""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BIN = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "build", "bin")
FIELDS = {"OverSampling": 3, "dataLength": 2300, "numberOfPackets": 2000}

CHILD = """
import resource, sys, time, tarvio
p = tarvio.Parameters(rate=54, **{fields!r})
t0 = time.monotonic()
w = tarvio.calculate(p)
t = time.monotonic() - t0
print(t, len(w.samples), w.samples.nbytes, resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024)
"""


def run(args):
    t0 = time.monotonic()
    r = subprocess.run(args, capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"failed: {' '.join(args)}\n{r.stderr}")
    return time.monotonic() - t0, r.stdout


def main():
    sets = [a for k, v in FIELDS.items() for a in ("--set", f"{k}={v}")]
    best = {"cli": 1e9, "dump": 1e9, "py": 1e9, "py_call": 1e9}
    peak = 0
    with tempfile.TemporaryDirectory() as d:
        cli = [os.path.join(BIN, "tarvio-cli"), "calc", "--quiet", "--rate", "54", *sets]
        py = [sys.executable, "-c", CHILD.format(fields=FIELDS)]
        for _ in range(5):
            best["cli"] = min(best["cli"], run(cli)[0])
            t, out = run(py)
            call, n, nbytes, rss = out.split()
            best["py"] = min(best["py"], t)
            best["py_call"] = min(best["py_call"], float(call))
            peak = max(peak, int(rss))
            best["dump"] = min(best["dump"], run(cli + ["--dump", os.path.join(d, "w.mat")])[0])
            os.remove(os.path.join(d, "w.mat"))
    nbytes = int(nbytes)
    print(f"samples             {int(n)} ({nbytes / 2**20:.0f} MiB complex128)")
    print(f"cli_calc_s          {best['cli']:.2f}")
    print(f"cli_calc_dump_s     {best['dump']:.2f}")
    print(f"python_process_s    {best['py']:.2f}   (calculate() itself {best['py_call']:.2f})")
    print(f"python_over_cli     {best['py_call'] / best['cli']:.3f}")
    print(f"process_over_cli    {best['py'] / best['cli']:.3f}")
    print(f"python_over_dump    {best['py_call'] / best['dump']:.3f}")
    print(f"peak_rss_MiB        {peak / 2**20:.0f}")
    print(f"rss_over_waveform   {peak / nbytes:.3f}")


if __name__ == "__main__":
    main()
