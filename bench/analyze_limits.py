#!/usr/bin/env python3
"""Finds, per data rate, the lowest SNR at which tarvio-cli analyze decodes
95 % of the packets of a capture: for each rate a calculation of PACKETS
packets of 100 octets with a 20 kHz carrier offset, 3 ppm clock error and
noise (Impairments.SNR over the signal's band: NoiseBandwidth 20 MHz OFDM,
22 MHz DSSS) is written as a SigMF recording (OFDM at 40 MHz, DSSS at
22 MHz) and analysed without its parameter set; the SNR falls in 1 dB steps
from 30 dB until fewer than 95 % decode (header and FCS good).

usage: bench/analyze_limits.py [BUILD_BIN_DIR] [--packets N] [--markdown]
"""
import json
import os
import subprocess
import sys
import tempfile

RATES = [("6", 1), ("9", 1), ("12", 1), ("18", 1), ("24", 1), ("36", 1), ("48", 1), ("54", 1),
         ("1", 0), ("2", 0), ("5.5", 0), ("11", 0)]


def decoded(cli, work, rate, ofdm, snr, packets):
    calc = [cli, "calc", "--rate", rate, "--set", "OverSampling=2", "--set", f"numberOfPackets={packets}",
            "--set", "dataLength=100", "--set", "Impairments.CFO=20e3", "--set", "Impairments.ClockPpm=3",
            "--set", f"Impairments.SNR={snr}", "--set", f"Impairments.NoiseBandwidth={20e6 if ofdm else 22e6}",
            "--set", f"Impairments.Seed={int(snr * 10) + 7}", "--sigmf", "cap", "--quiet"]
    subprocess.run(calc, cwd=work, check=True)
    out = subprocess.run([cli, "analyze", "cap.sigmf-meta", "--json"], cwd=work, capture_output=True, text=True)
    j = json.loads(out.stdout)
    return sum(1 for p in j["packets"] if p.get("decoded")), len(j["packets"])


def main():
    args = sys.argv[1:]
    markdown = "--markdown" in args
    packets = 40
    if "--packets" in args:
        packets = int(args[args.index("--packets") + 1])
    rest = [a for i, a in enumerate(args) if not a.startswith("--") and (i == 0 or args[i - 1] != "--packets")]
    bindir = rest[0] if rest else os.path.join(os.path.dirname(__file__), "..", "build", "bin")
    cli = os.path.abspath(os.path.join(bindir, "tarvio-cli"))
    if markdown:
        print("| rate (Mbit/s) | lowest SNR with 95 % decoded | decoded there |")
        print("|---|---|---|")
    with tempfile.TemporaryDirectory() as work:
        for rate, ofdm in RATES:
            lowest, at = None, ""
            for snr in range(30, -6, -1):
                n, found = decoded(cli, work, rate, ofdm, snr, packets)
                if n < 0.95 * packets:
                    break
                lowest, at = snr, f"{n} of {packets} ({found} bursts reported)"
            shown = f"{lowest} dB" if lowest is not None else "above 30 dB"
            print(f"| {rate} | {shown} | {at} |" if markdown else f"{rate:>4} Mbit/s: {shown}  {at}", flush=True)


if __name__ == "__main__":
    main()
