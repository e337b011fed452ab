#!/usr/bin/python3
"""Reads Tarvio's waveform outputs from their documented byte layouts
(docs/raw-file.md, docs/export-file.md) with numpy alone, and checks them
against a reference waveform, so that the layouts are verified from outside
the C++ code.

usage: read_outputs.py REFERENCE RAW EXPORT SAVEWAVE
  REFERENCE  float64 little-endian, I1 Q1 I2 Q2 ... (the waveform written)
  RAW        raw 16-bit file
  EXPORT     waveform export file
  SAVEWAVE   Save Wave MAT file (read with scipy.io.loadmat)
Prints one line per check and exits non-zero on the first failure."""
import sys

import numpy as np


def fail(msg):
    print("FAIL: " + msg)
    sys.exit(1)


def main():
    if len(sys.argv) != 5:
        fail(__doc__)
    ref_path, raw_path, export_path, savewave_path = sys.argv[1:]
    ref = np.fromfile(ref_path, dtype="<f8")
    ref_i, ref_q = ref[0::2], ref[1::2]
    n = ref_i.size
    inter = ref.copy()

    # Raw file: big-endian unsigned offset binary, peak component -> +-32766.
    raw = np.fromfile(raw_path, dtype=">u2").astype(np.float64)
    if raw.size != 2 * n:
        fail("raw file holds %d words, %d expected" % (raw.size, 2 * n))
    peak = np.max(np.abs(inter))
    decoded = (raw - 32768.0) / 32766.0 * peak
    lsb = peak / 32766.0
    err = np.max(np.abs(decoded - inter))
    if err > lsb:
        fail("raw file differs from the waveform by %.3g (one LSB is %.3g)" % (err, lsb))
    print("raw: %d samples, max error %.3g LSB" % (n, err / lsb))

    # Export file: 192-byte header, big-endian int16 I/Q, markers, residuals.
    data = np.fromfile(export_path, dtype=np.uint8)
    if bytes(data[:8]) != b"TVWFXPRT":
        fail("export file has no TVWFXPRT header record")
    count = int(data[16:24].view("<u8")[0])
    if count != n:
        fail("export header says %d samples, %d expected" % (count, n))
    if data.size != 192 + 13 * n:
        fail("export file is %d bytes, %d expected" % (data.size, 192 + 13 * n))
    samples = data[192:192 + 4 * n].view(">i2").astype(np.float64)
    res_at = 192 + 5 * n
    res_i = data[res_at:res_at + 4 * n].view("<i4").astype(np.float64)
    res_q = data[res_at + 4 * n:res_at + 8 * n].view("<i4").astype(np.float64)
    exp_i, exp_q = samples[0::2], samples[1::2]
    lsb = peak / 32767.0
    err16 = max(np.max(np.abs(exp_i * lsb - ref_i)), np.max(np.abs(exp_q * lsb - ref_q)))
    if err16 > lsb:
        fail("export samples differ by %.3g (one LSB is %.3g)" % (err16, lsb))
    full_i = (exp_i + res_i / 2147483647.0) * lsb
    full_q = (exp_q + res_q / 2147483647.0) * lsb
    err_full = max(np.max(np.abs(full_i - ref_i)), np.max(np.abs(full_q - ref_q)))
    if err_full > 1e-9 * peak:
        fail("export samples with residuals differ by %.3g" % err_full)
    print("export: %d samples, max error %.3g LSB, %.3g with residuals" % (n, err16 / lsb, err_full))

    # Save Wave file.
    import scipy.io
    mat = scipy.io.loadmat(savewave_path)
    pts = mat["samplePoints"]
    if pts.shape != (n, 2):
        fail("samplePoints has shape %s, (%d, 2) expected" % (pts.shape, n))
    wave = mat["wave"].ravel()
    if wave.size != n or np.max(np.abs(wave - (ref_i + 1j * ref_q))) > 0:
        fail("wave differs from the waveform")
    if np.max(np.abs(pts[:, 0] - ref_i)) > 0 or np.max(np.abs(pts[:, 1] - ref_q)) > 0:
        fail("samplePoints differ from the waveform")
    print("savewave: samplePoints %s, sampleRate %g" % (pts.shape, float(mat["sampleRate"].ravel()[0])))
    print("ok")


if __name__ == "__main__":
    main()
