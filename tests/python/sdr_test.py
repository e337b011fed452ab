"""tarvio.play_sdr into the tests' own radio module (driver=tarviotest,
found through SOAPY_SDR_PLUGIN_PATH): what reaches the device, where the
bursts end, refusals before anything is sent, Ctrl-C."""
import glob
import os
import tempfile
import threading
import _thread

import numpy as np
import pytest
import tarvio


def test_play_sends_every_sample_at_full_scale_with_a_burst_per_packet(tmp):
    w = tarvio.calculate(tarvio.Parameters(rate=54, numberOfPackets=2, dataLength=200))
    rec = tmp / "rec"
    r = tarvio.play_sdr(w, f"driver=tarviotest,record={rec}", freq=2.412e9, gain=0, repeat=2)
    assert (r.format, r.passes, r.underflows, r.stopped) == ("CF32", 2, 0, False)
    sent = np.fromfile(rec, dtype=np.complex64)
    peak = max(np.abs(w.samples.real).max(), np.abs(w.samples.imag).max())
    want = np.tile(w.samples / peak, 2).astype(np.complex64)
    assert len(sent) == r.samples == len(want)
    assert np.max(np.abs(sent - want)) < 1e-6
    on = w.markers[1] != 0
    ends = [k + 1 for k in range(len(on)) if on[k] and (k + 1 == len(on) or not on[k + 1])]
    # the same ends in the second pass, then the end of the stream
    ends = ends + [e + len(on) for e in ends] + [2 * len(on)]
    words = open(f"{rec}.bursts").read().split()
    assert [int(words[i + 1]) for i, x in enumerate(words) if x == "end"] == ends
    assert r.bursts == 4 and words[-1] == "deactivated"  # the stream's closing flag is no burst


def test_refusals_come_before_anything_is_sent(tmp):
    w = tarvio.calculate(tarvio.Parameters(rate=11))
    rec = tmp / "rec"
    with pytest.raises(RuntimeError, match="frequency"):
        tarvio.play_sdr(w, f"driver=tarviotest,record={rec}", freq=1e15, gain=0)
    assert os.path.getsize(rec) == 0
    with pytest.raises(RuntimeError, match="no SoapySDR module"):
        tarvio.play_sdr(w, "driver=nosuchradio", freq=2.4e9, gain=0)
    with pytest.raises(ValueError, match="exclude"):
        tarvio.play_sdr(w, "driver=tarviotest", freq=2.4e9, gain=0, repeat=3, loop=True)


def test_ctrl_c_stops_a_loop_and_leaves_nothing_behind():
    w = tarvio.calculate(tarvio.Parameters(rate=6))
    before = set(glob.glob(os.path.join(tempfile.gettempdir(), f"tarvio-py-{os.getpid()}-*")))
    timer = threading.Timer(0.5, _thread.interrupt_main)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        tarvio.play_sdr(w, "driver=tarviotest", freq=2.4e9, gain=0, loop=True)
    timer.join()
    assert set(glob.glob(os.path.join(tempfile.gettempdir(), f"tarvio-py-{os.getpid()}-*"))) == before
