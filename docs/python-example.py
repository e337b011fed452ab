#!/usr/bin/env python3
"""A 54 Mbit/s OFDM waveform made in Python, impaired, verified and
plotted: its spectrum and the constellation of its data subcarriers.

The impairments are the generator's multipath fading (a path 0.1 us late at
-20 dB) and its Impairments record: white noise at 30 dB SNR, 0.5 dB and 2
degrees of IQ imbalance, a 20 kHz carrier offset; verify measures them back. Writes
docs/images/python-example.png (or the file named on the command line).

usage: PYTHONPATH=build/python /usr/bin/python3 docs/python-example.py [OUT.png]
"""
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np
import tarvio

# The waveform: 4 packets of 400 octets of PN9 at 54 Mbit/s, with a second
# path 0.1 us late at -20 dB, then the transmitter's and the channel's
# impairments (noise last, in the idle gaps too).
p = tarvio.Parameters(rate=54, numberOfPackets=4, dataLength=400, dataSourceType=5, OverSampling=1, FilterType=0)
p.FadingState = 1
p["Fading.delay"] = [0, 0.1] + [0] * 10
p["Fading.atten"] = [0, -20] + [0] * 10
p["Fading.state"] = [1, 1] + [0] * 10
p.impairments.SNR = 30
p.impairments.IQGain = 0.5
p.impairments.IQPhase = 2
p.impairments.CFO = 20e3
p.impairments.Seed = 1
noisy = tarvio.calculate(p)
w = noisy
burst = w.markers[1] != 0

report = tarvio.verify(noisy)
for pk in report.packets:
    print(f"packet {pk.packet}: {pk.format} {pk.rate:g} Mbit/s, FCS {'good' if pk.fcsOk else 'bad'}, EVM {pk.evmDb:.1f} dB (limit {pk.evmLimitDb:g}), "
          f"CFO {pk.cfoHz / 1e3:.2f} kHz, IQ {pk.iqGainDb:.2f} dB {pk.iqPhaseDeg:.2f} deg, SNR {pk.snrDb:.1f} dB, {'pass' if pk.pass_ else 'FAIL'}")

# Spectrum of the whole waveform, averaged over 1024-point segments.
x = noisy.samples
seg = 1024
frames = x[: len(x) // seg * seg].reshape(-1, seg) * np.hanning(seg)
spec = np.fft.fftshift(np.mean(np.abs(np.fft.fft(frames, axis=1)) ** 2, axis=0))
freq = np.fft.fftshift(np.fft.fftfreq(seg, 1 / noisy.sample_rate)) / 1e6
spec_db = 10 * np.log10(spec / spec.max())

# Constellation of the first packet's data symbols: the long training
# field found by correlation, the channel estimated from its two symbols,
# then a 64-point FFT of each data symbol after its 16-sample guard.
L = np.array([1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 0,
              1, -1, -1, 1, 1, -1, 1, -1, 1, -1, -1, -1, -1, -1, 1, 1, -1, -1, 1, -1, 1, -1, 1, 1, 1, 1])
carriers = np.r_[-26:0, 1:27]
bins = carriers % 64
ltf_freq = np.zeros(64, complex)
ltf_freq[np.r_[-26:27] % 64] = L
ltf_time = np.fft.ifft(ltf_freq)
start, end = (int(v) for v in noisy.packets[0])
# The carrier offset verify measured, taken off the first packet.
k = np.arange(len(x))
x = x * np.exp(-2j * np.pi * report.packets[0].cfoHz * k / noisy.sample_rate)
burst_end = start + int(np.nonzero(burst[start:end])[0][-1]) + 1
corr = [abs(np.vdot(ltf_time, x[k : k + 64])) for k in range(start, start + 400)]
ltf = start + int(np.argmax(corr))
if ltf - 64 >= start and corr[ltf - start - 64] > 0.9 * max(corr):
    ltf -= 64  # the first of the two symbols
channel = np.mean(np.fft.fft(x[ltf : ltf + 128].reshape(2, 64), axis=1), axis=0)[bins] / L[carriers + 26]
pilots = np.isin(carriers, (-21, -7, 7, 21))
symbols = []
first = ltf + 128 + 80  # after the training field and the SIGNAL symbol
while first + 80 <= burst_end:
    y = np.fft.fft(x[first + 16 : first + 80])[bins] / channel
    symbols.append(y[~pilots])
    first += 80
points = np.concatenate(symbols)

fig, (a, b) = plt.subplots(1, 2, figsize=(11, 4.5))
a.plot(freq, spec_db, lw=0.8)
a.set(xlabel="Frequency (MHz)", ylabel="Power (dB)", title="Spectrum, fading and impairments", ylim=(-70, 3))
a.grid(alpha=0.3)
b.plot(points.real, points.imag, ".", ms=1.5)
b.set(xlabel="I", ylabel="Q", title=f"64-QAM data subcarriers, EVM {report.packets[0].evmDb:.1f} dB", aspect="equal")
b.grid(alpha=0.3)
fig.suptitle(f"tarvio.calculate: {len(w)} samples at {w.sample_rate / 1e6:g} MHz, {len(report.packets)} packets, "
             f"{'all pass' if report.passed else 'not all pass'}")
fig.tight_layout()
out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "images", "python-example.png")
fig.savefig(out, dpi=100)
print(f"wrote {out}")
