"""tarvio.verify: the results of tarvio-cli calc --verify --json for a
calculation and of tarvio-cli verify for a file, as Python objects."""
import json

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
