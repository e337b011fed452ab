#!/usr/bin/python3
"""Independent IEEE 802.11a (clause 17) OFDM receiver used to check generated packets.

It decodes one framed packet from a MAT file and compares the PSDU with the
transmitted bits stored beside it. It is written from the standard alone, so a
packet that decodes here is a packet that any conforming receiver decodes.

Usage: ofdm_rx.py INPUT.mat [OUTPUT.txt]

INPUT.mat holds
  waveform        complex row, the packet (played in a loop) at 20 MHz x oversampling
  oversampling    integer oversampling factor
  psdu            transmitted PSDU bits, first in time first (each octet LSB first)
  mirrorSpectrum  optional, 1 when the waveform is the complex conjugate (mirrored spectrum)
  markers         optional 2 x N marker rows; marker 2 (the burst gate) is checked
                  against the detected packet start, never used for timing
  windowLength    optional; with markers, the exact burst length is checked too
  markerLead      optional (default 0): samples by which the burst is expected to
                  start before marker 2 rises (a frame filter whose delay is not
                  centred advances the whole frame)

OUTPUT.txt (when given) gets one line of key=value results and one line of the
decoded PSDU bits as 0/1 characters.

Exit status: 0 decoded, equal to the transmitted PSDU and with a valid FCS;
1 bad input; 2 no packet found; 3 SIGNAL field invalid; 4 PSDU differs;
5 FCS invalid; 6 marker 2 disagrees with the detected burst.
"""

import sys
import zlib

import numpy as np
import scipy.io

EXIT_OK, EXIT_INPUT, EXIT_NO_PACKET, EXIT_SIGNAL, EXIT_PSDU, EXIT_FCS, EXIT_MARKER = range(7)

NFFT = 64
# Samples of the FFT window moved back into the guard interval: keeps the
# window clear of the previous symbol's window tail and of the filter's
# pre-cursor; the resulting linear phase is part of the channel estimate.
BACKOFF = 6

# Long training symbol on subcarriers -26..26 (17.3.3, eq. 9).
LTS_FREQ = np.array([1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1,
                     0,
                     1, -1, -1, 1, 1, -1, 1, -1, 1, -1, -1, -1, -1, -1, 1, 1, -1, -1, 1, -1, 1, -1, 1, 1, 1, 1],
                    dtype=float)
SUBCARRIERS = np.arange(-26, 27)
PILOT_CARRIERS = np.array([-21, -7, 7, 21])
PILOT_VALUES = np.array([1.0, 1.0, 1.0, -1.0])
# Data subcarriers in the order of the logical index 0..47 (17.3.5.9).
DATA_CARRIERS = np.array([k for k in range(-26, 27) if k != 0 and k not in (-21, -7, 7, 21)])

# RATE field R1..R4 -> (Mbit/s, N_BPSC, coding rate numerator, denominator) (Table 80 and 78).
RATE_TABLE = {
    (1, 1, 0, 1): (6, 1, 1, 2),
    (1, 1, 1, 1): (9, 1, 3, 4),
    (0, 1, 0, 1): (12, 2, 1, 2),
    (0, 1, 1, 1): (18, 2, 3, 4),
    (1, 0, 0, 1): (24, 4, 1, 2),
    (1, 0, 1, 1): (36, 4, 3, 4),
    (0, 0, 0, 1): (48, 6, 2, 3),
    (0, 0, 1, 1): (54, 6, 3, 4),
}
# Kept (1) and stolen (0) coded bits of one puncturing period, A and B alternating (17.3.5.6).
PUNCTURE = {(1, 2): np.array([1, 1]), (2, 3): np.array([1, 1, 1, 0]), (3, 4): np.array([1, 1, 1, 0, 0, 1])}


class RxError(Exception):
    def __init__(self, status, text):
        super().__init__(text)
        self.status = status


def bins(carriers):
    """FFT bin indices of subcarrier numbers."""
    return np.asarray(carriers) % NFFT


def scrambler_sequence(first7, count):
    """Output of the x^7 + x^4 + 1 scrambler (17.3.5.4) continuing from its first 7 outputs."""
    x = np.zeros(count, dtype=np.uint8)
    x[:7] = first7
    for n in range(7, count):
        x[n] = x[n - 7] ^ x[n - 4]
    return x


def pilot_polarity():
    """p_0..p_126 (17.3.5.9): the scrambler's all-ones-state sequence with 0 -> +1, 1 -> -1."""
    cells = [1] * 7  # x^1 .. x^7
    out = []
    for _ in range(127):
        bit = cells[3] ^ cells[6]
        out.append(bit)
        cells = [bit] + cells[:6]
    return 1.0 - 2.0 * np.array(out, dtype=float)


POLARITY = pilot_polarity()
assert list(POLARITY[:8]) == [1, 1, 1, 1, -1, -1, -1, 1]


def lts_time():
    """One 64-sample period of the long training symbol in time."""
    spec = np.zeros(NFFT, dtype=complex)
    spec[bins(SUBCARRIERS)] = LTS_FREQ
    return np.fft.ifft(spec)


def interleaver_permutation(ncbps, nbpsc):
    """j(k): the transmitted position of coded bit k (17.3.5.6, both permutations)."""
    k = np.arange(ncbps)
    i = (ncbps // 16) * (k % 16) + k // 16
    s = max(nbpsc // 2, 1)
    return s * (i // s) + (i + ncbps - (16 * i) // ncbps) % s


def decimate(x, k):
    """Keeps the 20 MHz band of the circular waveform and takes every k-th sample (FFT based)."""
    if k == 1:
        return x
    n = -(-len(x) // k) * k
    spec = np.fft.fft(np.concatenate([x, np.zeros(n - len(x), dtype=complex)]))
    m = n // k
    half = m // 2
    short = np.concatenate([spec[:half], spec[n - (m - half):]])
    return np.fft.ifft(short) / k


def circular_corr(r, ref):
    """c[n] = sum_m conj(ref[m]) r[(n + m) mod N]."""
    n = len(r)
    padded = np.zeros(n, dtype=complex)
    padded[:len(ref)] = ref
    return np.fft.ifft(np.fft.fft(r) * np.conj(np.fft.fft(padded)))


def find_packet(r):
    """Packet start (first short-training sample) from the short and long training fields.

    The short training field repeats every 16 samples: the delay-and-correlate
    metric is near 1 over it and picks the coarse position. The long training
    symbol's two periods, 64 samples apart, are then located exactly by
    correlation with the known symbol near where the coarse position puts them.
    """
    n = len(r)
    if n < 400:
        raise RxError(EXIT_NO_PACKET, "waveform shorter than a preamble and SIGNAL symbol")
    win = 128
    prod = r * np.conj(np.roll(r, -16))
    energy = np.abs(np.roll(r, -16)) ** 2
    num = np.abs(circular_corr(prod, np.ones(win)))
    den = np.real(circular_corr(energy, np.ones(win))) + 1e-30
    metric = num / den
    power = np.mean(np.abs(r) ** 2)
    metric[den < 0.1 * power * win] = 0  # ignore the silent idle part
    above = metric > 0.9
    if not above.any():
        raise RxError(EXIT_NO_PACKET, "no short training field found")
    # Start of the longest run above threshold, circularly.
    rolled_from = int(np.argmin(above)) if not above.all() else 0
    a = np.roll(above, -rolled_from)
    best_len, best_start, run = 0, 0, 0
    for idx, v in enumerate(a):
        run = run + 1 if v else 0
        if run > best_len:
            best_len, best_start = run, idx - run + 1
    coarse = (best_start + rolled_from) % n

    c = np.abs(circular_corr(r, lts_time()))
    pair = c + np.roll(c, -64)
    # The first long-training period starts 192 samples after the packet start.
    span = np.arange(coarse + 192 - 48, coarse + 192 + 48) % n
    t1 = int(span[np.argmax(pair[span])])
    if pair[t1] < 0.5 * np.max(pair):
        raise RxError(EXIT_NO_PACKET, "long training field not found after the short training field")
    return (t1 - 192) % n


def symbol_spectrum(r, start):
    """FFT of the 64 samples of the symbol whose guard interval ends at `start`, backed off."""
    idx = (start - BACKOFF + np.arange(NFFT)) % len(r)
    return np.fft.fft(r[idx])


def viterbi(soft):
    """Maximum-likelihood decoding of the K=7 (133, 171) code (17.3.5.5).

    `soft` holds the coded bits A0 B0 A1 B1 ... as reliabilities (positive for
    1, 0 for an erasure). The path starts in the zero state; the survivor
    ending in the best state is traced back. Vectorised over the 64 states.
    """
    nbits = len(soft) // 2
    sa = soft[0::2]
    sb = soft[1::2]
    ns = np.arange(64)
    b = ns & 1
    prev = [(ns >> 1) | (x << 5) for x in (0, 1)]

    def bit(s, i):
        return (s >> i) & 1

    bm = []
    for p in prev:
        # State bit i holds the input i + 1 steps back.
        out_a = b ^ bit(p, 1) ^ bit(p, 2) ^ bit(p, 4) ^ bit(p, 5)
        out_b = b ^ bit(p, 0) ^ bit(p, 1) ^ bit(p, 2) ^ bit(p, 5)
        bm.append(np.outer(sa, 2.0 * out_a - 1) + np.outer(sb, 2.0 * out_b - 1))
    pm = np.full(64, -1e300)
    pm[0] = 0.0
    decisions = np.zeros((nbits, 64), dtype=bool)
    p0, p1 = prev
    bm0, bm1 = bm
    for t in range(nbits):
        m0 = pm[p0] + bm0[t]
        m1 = pm[p1] + bm1[t]
        d = m1 > m0
        decisions[t] = d
        pm = np.where(d, m1, m0)
    state = int(np.argmax(pm))
    out = np.zeros(nbits, dtype=np.uint8)
    dec = decisions.tolist()
    for t in range(nbits - 1, -1, -1):
        out[t] = state & 1
        state = (state >> 1) | (int(dec[t][state]) << 5)
    return out


def depuncture(soft, num, den, nbits):
    pattern = PUNCTURE[(num, den)]
    periods = 2 * nbits // len(pattern)
    keep = np.tile(pattern, periods).astype(bool)
    full = np.zeros(2 * nbits)
    full[keep] = soft[:int(keep.sum())]
    return full


def demap(z, nbpsc):
    """Soft bits (positive for 1) of equalised symbols at unit average power (17.3.5.7).

    Gray-coded PAM on each axis: the first bit is the sign, the following ones
    tell the distance from the axis' inner decision boundaries.
    """
    scale = {1: 1.0, 2: np.sqrt(2), 4: np.sqrt(10), 6: np.sqrt(42)}[nbpsc]
    z = z * scale
    if nbpsc == 1:
        return np.real(z)[..., None]
    axes = []
    for v in (np.real(z), np.imag(z)):
        if nbpsc == 2:
            axes.append([v])
        elif nbpsc == 4:
            axes.append([v, 2 - np.abs(v)])
        else:
            axes.append([v, 4 - np.abs(v), 2 - np.abs(np.abs(v) - 4)])
    return np.stack(axes[0] + axes[1], axis=-1)


def nearest_point(z, nbpsc):
    """The constellation point nearest to each equalised symbol (unit average power)."""
    if nbpsc == 1:
        return np.sign(np.real(z)) + 0j
    levels = {2: 2, 4: 4, 6: 8}[nbpsc]
    scale = {2: np.sqrt(2), 4: np.sqrt(10), 6: np.sqrt(42)}[nbpsc]

    def axis(v):
        return np.clip(2 * np.floor(v * scale / 2) + 1, -(levels - 1), levels - 1)

    return (axis(np.real(z)) + 1j * axis(np.imag(z))) / scale


class Demodulator:
    """Channel estimate, pilot tracking and equalisation of one packet's symbols."""

    def __init__(self, r, start):
        self.r = r
        self.start = start
        # Both long training periods (17.3.3): average, divide by the known symbol.
        t1 = symbol_spectrum(r, start + 192) + symbol_spectrum(r, start + 256)
        used = bins(SUBCARRIERS[LTS_FREQ != 0])
        self.h = np.zeros(NFFT, dtype=complex)
        self.h[used] = 0.5 * t1[used] / LTS_FREQ[LTS_FREQ != 0]
        if np.any(np.abs(self.h[used]) < 1e-6 * np.max(np.abs(self.h[used]))):
            raise RxError(EXIT_NO_PACKET, "channel estimate has empty subcarriers")
        self.errors = []
        self.points = []

    def symbol(self, index, nbpsc):
        """Equalised data subcarriers of symbol `index` (0 = SIGNAL) and their channel gains."""
        y = symbol_spectrum(self.r, self.start + 320 + 80 * index + 16)
        pil = bins(PILOT_CARRIERS)
        ref = PILOT_VALUES * POLARITY[index % 127]
        # Common phase error from the four pilots (17.3.5.9), weighted by their gains.
        cpe = np.angle(np.sum(y[pil] * np.conj(self.h[pil] * ref)))
        d = bins(DATA_CARRIERS)
        z = y[d] * np.exp(-1j * cpe) / self.h[d]
        ideal = nearest_point(z, nbpsc)
        self.errors.append(np.abs(z - ideal) ** 2)
        self.points.append(np.abs(ideal) ** 2)
        return z, np.abs(self.h[d]) ** 2

    def evm_db(self):
        return 10 * np.log10(np.mean(np.concatenate(self.errors)) / np.mean(np.concatenate(self.points)) + 1e-30)


def decode_signal(dem):
    z, w = dem.symbol(0, 1)
    perm = interleaver_permutation(48, 1)
    soft = (demap(z, 1)[:, 0] * w)[perm]
    bits = viterbi(soft)
    if np.sum(bits[:18]) % 2 != 0:
        raise RxError(EXIT_SIGNAL, "SIGNAL parity check failed")
    if np.any(bits[18:24]):
        raise RxError(EXIT_SIGNAL, "SIGNAL tail bits are not zero")
    rate_bits = tuple(int(v) for v in bits[:4])
    if rate_bits not in RATE_TABLE:
        raise RxError(EXIT_SIGNAL, "SIGNAL RATE %s is not a defined rate" % (rate_bits,))
    length = int(np.sum(bits[5:17].astype(int) << np.arange(12)))
    if length == 0:
        raise RxError(EXIT_SIGNAL, "SIGNAL LENGTH is 0")
    return RATE_TABLE[rate_bits], length, int(bits[4])


def decode_data(dem, rate, length):
    mbps, nbpsc, num, den = rate
    ncbps = 48 * nbpsc
    ndbps = ncbps * num // den
    nsym = -(-(16 + 8 * length + 6) // ndbps)
    perm = interleaver_permutation(ncbps, nbpsc)
    coded = []
    for i in range(nsym):
        z, w = dem.symbol(i + 1, nbpsc)
        soft = (demap(z, nbpsc) * w[:, None]).reshape(-1)
        coded.append(soft[perm])
    nbits = nsym * ndbps
    decoded = viterbi(depuncture(np.concatenate(coded), num, den, nbits))
    # SERVICE bits 0..6 are zero before scrambling, so they carry the
    # scrambler's first seven outputs; the sequence follows from them.
    seq = scrambler_sequence(decoded[:7], nbits)
    plain = decoded ^ seq
    if np.any(plain[:16]):
        raise RxError(EXIT_PSDU, "descrambled SERVICE field is not zero")
    # Scrambler cells x^1..x^7 before the first SERVICE bit: x_(n-7) = x_n ^ x_(n-4).
    ext = np.concatenate([np.zeros(7, dtype=np.uint8), decoded[:7]])
    for n in range(13, 6, -1):
        ext[n - 7] = ext[n] ^ ext[n - 4]
    state = "".join(str(int(v)) for v in ext[6::-1])
    return plain[16:16 + 8 * length], nsym, state


def fcs_ok(psdu):
    octets = np.packbits(psdu.reshape(-1, 8), axis=1, bitorder="little").reshape(-1).tobytes()
    if len(octets) < 5:
        return False
    return zlib.crc32(octets[:-4]).to_bytes(4, "little") == octets[-4:]


def check_marker(markers, start, k, nsym, window, lead):
    """Marker 2 must rise `lead` samples after the detected burst start and cover exactly the burst.

    The start is known to one 20 MHz sample, so k output samples of difference are allowed.
    """
    m2 = np.asarray(markers)[1].reshape(-1) != 0
    rises = np.flatnonzero(m2 & ~np.roll(m2, 1))
    if len(rises) != 1:
        return "marker 2 has %d bursts, expected 1" % len(rises)
    n = len(m2)
    dist = (int(rises[0]) - start * k - lead) % n
    dist = min(dist, n - dist)
    if dist > k:
        return "marker 2 rises at sample %d, the burst was found at %d (expected lead %d)" % (
            rises[0], start * k, lead)
    if window is not None:
        want = (400 + 80 * nsym) * k + window
        if int(m2.sum()) != want:
            return "marker 2 covers %d samples, the burst has %d" % (int(m2.sum()), want)
    return None


def scalar(mat, name, default=None):
    if name not in mat:
        if default is None:
            raise RxError(EXIT_INPUT, "input has no variable '%s'" % name)
        return default
    return float(np.asarray(mat[name]).reshape(-1)[0])


def receive(path):
    mat = scipy.io.loadmat(path)
    for name in ("waveform", "psdu"):
        if name not in mat:
            raise RxError(EXIT_INPUT, "input has no variable '%s'" % name)
    x = np.asarray(mat["waveform"], dtype=complex).reshape(-1)
    k = int(round(scalar(mat, "oversampling")))
    if k < 1:
        raise RxError(EXIT_INPUT, "oversampling must be 1 or more")
    if scalar(mat, "mirrorSpectrum", 0.0) == 1:
        x = np.conj(x)
    sent = (np.asarray(mat["psdu"]).reshape(-1) != 0).astype(np.uint8)

    r = decimate(x, k)
    start = find_packet(r)
    # Frequency offset from the long training periods (zero for a clean generator; corrected anyway).
    t1 = r[(start + 192 + np.arange(64)) % len(r)]
    t2 = r[(start + 256 + np.arange(64)) % len(r)]
    cfo = np.angle(np.sum(np.conj(t1) * t2)) / (2 * np.pi * 64)
    r = r * np.exp(-2j * np.pi * cfo * np.arange(len(r)))

    dem = Demodulator(r, start)
    rate, length, reserved = decode_signal(dem)
    psdu, nsym, state = decode_data(dem, rate, length)
    result = {"rate": rate[0], "length": length, "nsym": nsym, "state": state, "start": start * k,
              "cfo_hz": round(cfo * 20e6, 3), "evm_db": round(dem.evm_db(), 2), "reserved": reserved}
    status, text = EXIT_OK, "decoded"
    if len(psdu) != len(sent) or np.any(psdu != sent):
        wrong = np.count_nonzero(psdu[:len(sent)] != sent[:len(psdu)]) + abs(len(psdu) - len(sent))
        status, text = EXIT_PSDU, "PSDU differs from the transmitted one in %d bits" % wrong
    elif not fcs_ok(psdu):
        status, text = EXIT_FCS, "FCS of the PSDU is invalid"
    elif "markers" in mat:
        window = scalar(mat, "windowLength", -1.0)
        lead = int(round(scalar(mat, "markerLead", 0.0)))
        problem = check_marker(mat["markers"], start, k, nsym, None if window < 0 else int(window), lead)
        if problem:
            status, text = EXIT_MARKER, problem
    return status, text, result, psdu


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write("usage: ofdm_rx.py INPUT.mat [OUTPUT.txt]\n")
        return EXIT_INPUT
    result, psdu = {}, np.zeros(0, dtype=np.uint8)
    try:
        status, text, result, psdu = receive(argv[1])
    except RxError as e:
        status, text = e.status, str(e)
    except (OSError, ValueError) as e:
        status, text = EXIT_INPUT, "cannot read %s: %s" % (argv[1], e)
    summary = " ".join("%s=%s" % kv for kv in result.items())
    sys.stderr.write("ofdm_rx: %s %s\n" % (text, summary))
    if len(argv) == 3:
        with open(argv[2], "w") as f:
            f.write("status=%d %s\n" % (status, summary))
            f.write("".join(str(int(b)) for b in psdu) + "\n")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
