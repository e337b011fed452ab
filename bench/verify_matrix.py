#!/usr/bin/env python3
"""Runs tarvio-cli calc --verify over the whole matrix of waveforms the
built-in verification is meant to decode: every data rate at OverSampling 1,
2, 3 and 4 (33 Mbit/s at 3, 6 and 9), unfiltered, Gaussian and root raised
cosine filters, long and short preambles, PBCC with its encoder on and off.
Prints one row per waveform (decoded, FCS, PSDU, EVM, what failed) and a
summary; exit code 1 when a waveform does not decode with a good FCS and
its PSDU equal to the parameter set's.

usage: bench/verify_matrix.py [BUILD_BIN_DIR] [--markdown]

DSSS without a filter at 1.5 and 2.5 samples per chip is left out (the
generator refuses it).
"""
import itertools
import json
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FILTERS = {0: "none", 1: "Gaussian", 2: "RRC"}


def cases():
    for rate in (6, 9, 12, 18, 24, 36, 48, 54):
        for os_, filt in itertools.product((1, 2, 3, 4), FILTERS):
            yield {"rate": rate, "OverSampling": os_, "FilterType": filt}
    for rate, pbcc in ((1, 0), (2, 0), (5.5, 0), (11, 0), (5.5, 1), (11, 1), (22, 1), (33, 1)):
        oversampling = (3, 6, 9) if rate == 33 else (1, 2, 3, 4)
        encoders = (1, 0) if pbcc else (1,)
        for os_, filt, pre, enc in itertools.product(oversampling, FILTERS, (0, 1), encoders):
            c = {"rate": rate, "OverSampling": os_, "FilterType": filt, "preambleType": pre}
            if rate <= 11:
                c["highRateMod"] = pbcc
            if pbcc:
                c["encoderActive"] = enc
            yield c


def run(cli, case):
    args = [cli, "calc", "--rate", str(case["rate"])]
    for k, v in case.items():
        if k != "rate":
            args += ["--set", f"{k}={v}"]
    args += ["--set", "numberOfPackets=2", "--set", "dataLength=300", "--verify", "--json"]
    p = subprocess.run(args, capture_output=True, text=True)
    try:
        return json.loads(p.stdout), p.returncode
    except json.JSONDecodeError:
        return {"error": (p.stderr or p.stdout).strip().splitlines()[-1:]}, p.returncode


def describe(case):
    s = f"{case['rate']:g} Mbit/s"
    if case.get("highRateMod") == 1 or case["rate"] in (22, 33):
        s += " PBCC" + ("" if case.get("encoderActive", 1) else " uncoded")
    elif case["rate"] in (5.5, 11):
        s += " CCK"
    return s


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    markdown = "--markdown" in sys.argv
    bindir = args[0] if args else os.path.join(HERE, "..", "build", "bin")
    cli = os.path.join(bindir, "tarvio-cli")
    rows, bad = [], 0
    for case in cases():
        out, code = run(cli, case)
        packets = out.get("packets", [])
        decoded = bool(packets) and all(p["decoded"] for p in packets)
        fcs = bool(packets) and all(p.get("fcsOk") for p in packets)
        psdu = bool(packets) and all(p.get("psduEqual") for p in packets)
        if packets and packets[0].get("format") == "OFDM":
            evm = max(p["evmDb"] for p in packets if p.get("evmDb") is not None)
            evm_text = f"{evm:.1f} dB"
        elif packets:
            evm = max(p.get("evmPeakPercent", 0) for p in packets)
            evm_text = f"{evm:.2f} % peak"
        else:
            evm_text = "-"
        # One entry per kind of failure (the first packet's figures).
        kinds = {}
        for f in (f for p in packets for f in p.get("failures", [])):
            kinds.setdefault(re.sub(r"[-+]?\d+(\.\d+)?", "#", f), f)
        failures = list(kinds.values())
        if "error" in out:
            failures = out["error"]
        ok = decoded and fcs and psdu
        bad += not ok
        rows.append((describe(case), case["OverSampling"], FILTERS[case["FilterType"]],
                     {0: "long", 1: "short"}.get(case.get("preambleType"), "-"),
                     "yes" if decoded else "NO", "ok" if fcs else "BAD", "equal" if psdu else "DIFFERS",
                     evm_text, "pass" if code == 0 else "; ".join(failures) or "fail"))
    head = ("waveform", "OS", "filter", "preamble", "decoded", "FCS", "PSDU", "worst EVM", "verdict")
    if markdown:
        print("| " + " | ".join(head) + " |")
        print("|" + "---|" * len(head))
        for r in rows:
            print("| " + " | ".join(str(v) for v in r) + " |")
    else:
        for r in [head] + rows:
            print("  ".join(str(v).ljust(w) for v, w in zip(r, (22, 4, 9, 9, 8, 4, 8, 14, 0))))
    print(f"\n{len(rows)} waveforms, {len(rows) - bad} decoded with a good FCS and the parameter set's PSDU, "
          f"{sum(r[-1] == 'pass' for r in rows)} passed every limit")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
