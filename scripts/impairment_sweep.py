#!/usr/bin/python3
"""EVM and packet error rate of the built-in receivers against the SNR.

Makes a waveform with tarvio-cli calc (PN9 payload, --dump), adds white
Gaussian noise at each SNR, writes the noisy waveform back into a copy of the
dump (so verify still knows the parameter set's PSDUs) and runs tarvio-cli
verify --json on it.

The SNR is the burst's mean power over the noise within the signal's
bandwidth: OFDM (20 Msample/s) the 53 sub-carriers' 16.5625 MHz, 11 Mbit/s
CCK (44 Msample/s) the chips' 11 MHz; the noise is limited to it and lies
over the idle gaps too.

  evm: 6, 24, 54 Mbit/s OFDM and 11 Mbit/s CCK (unfiltered) at 10..40 dB:
       RMS EVM over ten noisy copies of a packet against 1/sqrt(SNR); a
       Markdown table and a plot.
  per: 6 and 54 Mbit/s, 1000-octet PSDUs, PER (FCS checked) over --packets
       packets per SNR; the SNR at 10 % PER by interpolation.

usage: scripts/impairment_sweep.py [evm] [per] [--bin build/bin]
           [--packets 1000] [--plot docs/images/evm-vs-snr.png]
Needs Debian's python3-numpy, python3-scipy and python3-matplotlib.
"""
import argparse
import json
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
import scipy.io as sio

HERE = os.path.dirname(os.path.abspath(__file__))


def calc(cli, out, rate, packets, length, extra=("--ramp-us", "1"), oversampling=1):
    cmd = [cli, "calc", "--rate", str(rate), "--set", "numberOfPackets=%d" % packets,
           "--set", "dataSourceType=5", "--set", "dataLength=%d" % length,
           "--set", "OverSampling=%g" % oversampling, "--idle-us", "20", "--dump", out, "--quiet", *extra]
    subprocess.run(cmd, check=True)
    d = sio.loadmat(out)
    return {k: v for k, v in d.items() if not k.startswith("__")}


def burst_power(x):
    p = np.abs(x) ** 2
    return p[p > 1e-3 * p.max()].mean()


def noisy(x, snr_db, fs, bandwidth, rng):
    """x plus noise of burst power / SNR within +-bandwidth/2."""
    n = (rng.standard_normal(x.size) + 1j * rng.standard_normal(x.size)) / math.sqrt(2)
    if bandwidth < fs:
        spectrum = np.fft.fft(n)
        f = np.fft.fftfreq(x.size, 1 / fs)
        spectrum[np.abs(f) > bandwidth / 2] = 0
        n = np.fft.ifft(spectrum)
    n *= math.sqrt(burst_power(x) / 10 ** (snr_db / 10) / np.mean(np.abs(n) ** 2))
    return x + n


def verify(cli, dump, x, path):
    d = dict(dump)
    d["waveform"] = x.reshape(1, -1)
    sio.savemat(path, d, do_compression=False)
    r = subprocess.run([cli, "verify", path, "--json", "--threads", "2"], capture_output=True, text=True)
    if r.returncode not in (0, 1):
        sys.exit("verify failed: " + r.stderr)
    return json.loads(r.stdout)["packets"]


def evm_db(p):
    if p.get("format") == "OFDM":
        return p.get("evmDb")
    v = p.get("evmPercent")
    return 20 * math.log10(v / 100) if v else None


def sweep_evm(cli, tmp, plot):
    cases = [("6 Mbit/s OFDM", 6, 20e6, 16.5625e6), ("24 Mbit/s OFDM", 24, 20e6, 16.5625e6),
             ("54 Mbit/s OFDM", 54, 20e6, 16.5625e6), ("11 Mbit/s CCK", 11, 44e6, 11e6)]
    snrs = list(range(10, 41, 5))
    rng = np.random.default_rng(1)
    rows = {}
    for name, rate, fs, bw in cases:
        # Unfiltered and without power ramps: the noise law holds for the
        # signal as it is sent, not for carriers or chips a filter or a ramp
        # has taken power from. One packet, ten noise draws.
        dump = calc(cli, os.path.join(tmp, "evm.mat"), rate, 1, 1000, ("--set", "FilterType=0", "--ramp-us", "0"),
                    fs / (20e6 if rate != 11 else 11e6))
        x = dump["waveform"].ravel().astype(complex)
        rows[name] = []
        for snr in snrs:
            packets = []
            for _ in range(10):
                packets += verify(cli, dump, noisy(x, snr, fs, bw, rng), os.path.join(tmp, "noisy.mat"))
            e = [evm_db(p) for p in packets if evm_db(p) is not None]
            s = [p["snrDb"] for p in packets if p.get("snrDb") is not None]
            mean_evm = 10 * math.log10(np.mean([10 ** (v / 10) for v in e])) if e else float("nan")
            rows[name].append((snr, mean_evm, float(np.mean(s)) if s else float("nan")))
            print("%-16s SNR %4.1f dB: EVM %6.2f dB, SNR measured %5.1f dB" % (name, snr, mean_evm, rows[name][-1][2]),
                  file=sys.stderr)
    print("| SNR (dB) | 1/sqrt(SNR) (dB) | " + " | ".join(rows) + " |")
    print("|---:|---:|" + "---:|" * len(rows))
    for i, snr in enumerate(snrs):
        print("| %d | %.1f | " % (snr, -snr) + " | ".join("%.1f" % rows[n][i][1] for n in rows) + " |")
    if plot:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        fig, ax = plt.subplots(figsize=(7, 4.5), dpi=100)
        ax.plot(snrs, [-s for s in snrs], "k--", label="1/sqrt(SNR)")
        ax.fill_between(snrs, [-s - 1 for s in snrs], [-s + 1 for s in snrs], color="0.85", label="+-1 dB")
        for (name, *_), marker in zip(cases, "osd^"):
            ax.plot(snrs, [r[1] for r in rows[name]], marker=marker, label=name)
        ax.set_xlabel("SNR within the signal's bandwidth (dB)")
        ax.set_ylabel("RMS EVM measured by tarvio-cli verify (dB)")
        ax.set_title("EVM against SNR (AWGN)")
        ax.grid(True, alpha=0.4)
        ax.legend()
        fig.tight_layout()
        fig.savefig(plot)
        print("wrote " + plot, file=sys.stderr)


def sweep_per(cli, tmp, packets):
    # Around the waterfalls (a first run at 100 packets per point found them
    # between 4 and 7 dB and between 21 and 25 dB).
    cases = [("6 Mbit/s", 6, [4.5, 5.0, 5.5, 6.0, 6.5]), ("54 Mbit/s", 54, [22.0, 22.5, 23.0, 23.5, 24.0])]
    batch = 100
    for name, rate, snrs in cases:
        dump = calc(cli, os.path.join(tmp, "per.mat"), rate, batch, 1000)
        x = dump["waveform"].ravel().astype(complex)
        curve = []
        for snr in snrs:
            rng = np.random.default_rng(int(snr * 10) + rate)
            errors = total = 0
            while total < packets:
                got = verify(cli, dump, noisy(x, snr, 20e6, 16.5625e6, rng), os.path.join(tmp, "noisy.mat"))
                good = sum(1 for p in got if p.get("fcsOk"))
                errors += batch - min(good, batch)
                total += batch
            curve.append((snr, errors / total))
            print("%s SNR %4.1f dB: PER %.3f (%d of %d)" % (name, snr, errors / total, errors, total), file=sys.stderr)
        at10 = float("nan")
        for (s0, p0), (s1, p1) in zip(curve, curve[1:]):
            if p0 >= 0.1 > p1:
                a, b = math.log10(max(p0, 1e-4)), math.log10(max(p1, 1e-4))
                at10 = s0 + (s1 - s0) * (a + 1) / (a - b)
                break
        print("%s: " % name + ", ".join("%.1f dB %.3f" % c for c in curve))
        print("%s: 10 %% PER at %.1f dB" % (name, at10))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("what", nargs="*", default=["evm", "per"])
    ap.add_argument("--bin", default=os.path.join(HERE, "..", "build", "bin"))
    ap.add_argument("--packets", type=int, default=1000)
    ap.add_argument("--plot", default="")
    a = ap.parse_args()
    cli = os.path.join(a.bin, "tarvio-cli")
    with tempfile.TemporaryDirectory() as tmp:
        if "evm" in a.what:
            sweep_evm(cli, tmp, a.plot)
        if "per" in a.what:
            sweep_per(cli, tmp, a.packets)


if __name__ == "__main__":
    main()
