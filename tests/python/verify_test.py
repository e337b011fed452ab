"""tarvio.verify: the results of tarvio-cli calc --verify --json for a
calculation and of tarvio-cli verify for a file, as Python objects."""
import json

import numpy as np
import pytest
import tarvio
from conftest import cli

JOBS = [(54, {}), (11, {}), (22, {}), (5.5, {"highRateMod": 1}), (6, {"MirrorSpectrum": 1})]


@pytest.mark.parametrize("rate,extra", JOBS)
def test_calculation_verifies_as_on_the_command_line(rate, extra):
    fields = {"numberOfPackets": 3, "dataLength": 100, "dataSourceType": 5, **extra}
    report = tarvio.verify(tarvio.calculate(tarvio.Parameters(rate=rate, **fields)))
    sets = [a for k, v in fields.items() for a in ("--set", f"{k}={v}")]
    want = json.loads(cli("calc", "--rate", rate, *sets, "--verify", "--json").stdout)
    assert report.passed and len(report.packets) == 3
    assert [p.to_dict() for p in report.packets] == want["packets"]
    assert report.summary.to_dict() == want["summary"]
    assert report.packets[0].decoded and report.packets[0].psduEqual
    assert report.to_dict()["summary"]["passed"] == 3


def test_file_verifies_and_a_damaged_waveform_fails(tmp):
    w = tarvio.calculate(tarvio.Parameters(rate=24, numberOfPackets=2, dataLength=300, dataSourceType=5))
    w.save_mat(tmp / "d.mat")
    r = tarvio.read(tmp / "d.mat")
    want = json.loads(cli("verify", tmp / "d.mat", "--json", check=False).stdout)
    got = tarvio.verify(r)
    assert got.passed and [p.to_dict() for p in got.packets] == want["packets"]
    r.samples[len(r.samples) // 4 : len(r.samples) // 2] *= -1j
    assert not tarvio.verify(r).passed
    with pytest.raises(ValueError, match="sample rate"):
        tarvio.verify(tarvio.Waveform(w.samples, None))
    with pytest.raises(ValueError, match="outside 1 MHz to 5.5 THz"):
        tarvio.verify(w, sample_rate=1e300)


def test_analyze_finds_and_judges_the_packets_of_samples_as_the_command_line_does(tmp):
    # Three 24 Mbit/s packets with noise and a carrier offset, behind an idle stretch.
    p = tarvio.Parameters(rate=24, numberOfPackets=3, dataLength=100)
    p.impairments.SNR = 35
    p.impairments.CFO = 20e3
    w = tarvio.calculate(p)
    x = np.concatenate([np.zeros(3000, complex), w.samples])
    rep = tarvio.analyze(x.astype(np.complex64), w.sample_rate, carrier=2.412e9)
    assert rep.passed and len(rep.packets) == 3 and rep.bursts == 3
    assert all(abs(pk.cfoHz - 20e3) < 200 for pk in rep.packets)
    # The same capture as a file: the command line's packets.
    x.astype(np.complex64).tofile(tmp / "c.cf32")
    want = json.loads(cli("analyze", tmp / "c.cf32", "--format", "cf32", "--sample-rate", w.sample_rate,
                          "--carrier", 2.412e9, "--json").stdout)
    got = rep.to_dict()["packets"]
    assert [(g["rate"], g["length"], g["pass"]) for g in got] == [(e["rate"], e["length"], e["pass"]) for e in want["packets"]]
    assert abs(got[0]["evmDb"] - want["packets"][0]["evmDb"]) < 1e-6
    assert tarvio.analyze(np.zeros(50000, np.complex64), 20e6).noise_only
    with pytest.raises(ValueError, match="sample rate"):
        tarvio.analyze(x, 1e15)
