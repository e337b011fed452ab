"""tarvio.calculate: the samples and markers of the command line's dump bit
for bit, the packets, progress, two calculations at once and Ctrl-C."""
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest
import tarvio
from conftest import RATES, bits, cli, load_mat

# Per rate: two packets with the sequence number stepping; a PN9 payload.
CASES = [(r, {"numberOfPackets": 2, "dataLength": 120, "dataSourceType": 5}) for r in RATES] + [
    # Fading, ramps and idle gaps, a mirrored spectrum, fragments numbered.
    (54, {"numberOfPackets": 3, "FadingState": 1, "idleSamples": 200}),
    (11, {"numberOfPackets": 2, "rampLength": 8, "MirrorSpectrum": 1, "incrFragNum": 1, "incrSeqCtrl": 0}),
    (6, {"numberOfPackets": 4, "incrSeqCtrl": 0, "OverSampling": 2, "FilterType": 2}),
]


@pytest.mark.parametrize("rate,fields", CASES, ids=[f"{r}-{i}" for i, (r, _) in enumerate(CASES)])
def test_samples_equal_cli_dump(tmp, rate, fields):
    dump = tmp / "d.mat"
    sets = [a for k, v in fields.items() for a in ("--set", f"{k}={v}")]
    cli("calc", "--rate", rate, *sets, "--dump", dump)
    m = load_mat(dump)
    w = tarvio.calculate(tarvio.Parameters(rate=rate, **fields))
    want = m["waveform"].ravel()
    assert w.samples.dtype == np.complex128
    assert np.array_equal(bits(w.samples), bits(want))
    assert np.array_equal(w.markers, m["markers"].astype(np.uint8))
    assert w.sample_rate == m["sampleRate"].item()
    # Packets tile the waveform, in order.
    assert w.packets[0, 0] == 0 and w.packets[-1, 1] == len(w.samples)
    assert np.array_equal(w.packets[1:, 0], w.packets[:-1, 1])
    assert len(w.packets) == fields["numberOfPackets"]
    single = tarvio.calculate(tarvio.Parameters(rate=rate, **fields), dtype=np.complex64)
    assert single.samples.dtype == np.complex64
    assert np.array_equal(single.samples, want.astype(np.complex64))


def test_samples_are_the_calculations_memory():
    w = tarvio.calculate(tarvio.Parameters(rate=54))
    # numpy does not own a copy: the array's memory is the one the
    # calculation filled, kept alive by its base object.
    assert not w.samples.flags.owndata and w.samples.base is not None
    assert w.samples.flags.writeable and w.samples.flags.c_contiguous


def test_stopped_calculation_raises_with_the_dialog_text():
    p = tarvio.Parameters(rate=11)
    p["MACheader.Contents.SeqCntrl.Active"] = 0
    with pytest.raises(RuntimeError, match="Cannot increment Control Number"):
        tarvio.calculate(p)
    p = tarvio.Parameters(rate=54, numberOfPackets=3000, dataLength=2300, OverSampling=4)
    with pytest.raises(RuntimeError, match="sample memory in your signal generator is to small"):
        tarvio.calculate(p)


def test_progress_reports_packets_until_the_end():
    seen = []
    tarvio.calculate(tarvio.Parameters(rate=54, numberOfPackets=300, dataLength=1500), progress=lambda d, t: seen.append((d, t)))
    assert seen and seen[-1] == (300, 300)
    assert all(t == 300 for _, t in seen)
    assert [d for d, _ in seen] == sorted(d for d, _ in seen)


def test_progress_callback_error_stops_the_calculation(tmp_path, monkeypatch):
    monkeypatch.setenv("TMPDIR", str(tmp_path))

    def stop(done, total):
        raise LookupError("stop here")

    with pytest.raises(LookupError, match="stop here"):
        tarvio.calculate(tarvio.Parameters(rate=54, numberOfPackets=2000, dataLength=2300), progress=stop)
    assert os.listdir(tmp_path) == []


def test_two_threads_calculate_at_once_with_their_own_records():
    jobs = [tarvio.Parameters(rate=54, numberOfPackets=400, dataLength=1500), tarvio.Parameters(rate=11, numberOfPackets=60, dataLength=1500)]
    alone = [tarvio.calculate(p) for p in jobs]
    spans, results = [None, None], [None, None]

    def run(k):
        t0 = time.monotonic()
        results[k] = tarvio.calculate(jobs[k])
        spans[k] = (t0, time.monotonic())

    threads = [threading.Thread(target=run, args=(k,)) for k in (0, 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    overlap = min(spans[0][1], spans[1][1]) - max(spans[0][0], spans[1][0])
    shorter = min(e - s for s, e in spans)
    # Held lock: the second call starts only after the first ends (overlap
    # at most 0). Released: they run side by side.
    assert overlap > 0.5 * shorter
    for a, b in zip(alone, results):
        assert np.array_equal(bits(a.samples), bits(b.samples))
        assert a.sample_rate == b.sample_rate


CTRL_C = textwrap.dedent(
    """
    import sys, tarvio
    def progress(done, total):
        if done >= 1:
            print("started", flush=True)
    try:
        tarvio.calculate(tarvio.Parameters(rate=54, numberOfPackets=2000, dataLength=2300, OverSampling=3), progress=progress)
        print("finished")
    except KeyboardInterrupt:
        print("interrupted")
    """
)


def test_ctrl_c_stops_the_calculation_and_leaves_nothing(tmp_path):
    env = dict(os.environ, TMPDIR=str(tmp_path))
    child = subprocess.Popen([sys.executable, "-c", CTRL_C], stdout=subprocess.PIPE, text=True, env=env)
    assert child.stdout.readline().strip() == "started"
    child.send_signal(signal.SIGINT)
    t0 = time.monotonic()
    out, _ = child.communicate(timeout=120)
    assert out.split()[-1] == "interrupted"
    assert child.returncode == 0
    assert time.monotonic() - t0 < 30
    assert os.listdir(tmp_path) == []
