"""tarvio.Parameters and tarvio.fields: access by attribute and dotted name,
the command line's refusals word for word, parameter files, the stub."""
import os
import sys

import numpy as np
import pytest
import tarvio
from conftest import SOURCE, bits, cli, load_mat


def test_defaults_and_access_by_name():
    p = tarvio.Parameters()
    assert p.dataRate == 11 and p.format == 2
    p = tarvio.Parameters(rate=54, dataLength=1500, **{"MACheader.Contents.Address1.Contents": 0x123456789ABC})
    assert (p.rate, p.format, p.dataLength) == (54, 1, 1500)
    assert p["MACheader.Contents.Address1.Contents"] == 0x123456789ABC
    assert p.MACheader.Contents.Address1.Contents == 0x123456789ABC
    p.MACheader.Contents.Address2.Contents = 0x42
    assert p["MACheader.Contents.Address2.Contents"] == 0x42
    p["Fading.delay"] = [0.1] + [0] * 11
    assert isinstance(p.Fading.delay, np.ndarray) and p.Fading.delay[0] == 0.1
    p.sig.Scaling = 50
    assert p["SigGenSettings.Scaling"] == 50
    assert p.sample_rate == 20e6 * p.OverSampling
    assert "dataLength" in dir(p) and "Address1" in dir(p.MACheader.Contents)
    assert p.to_dict()["dataLength"] == 1500
    with pytest.raises(AttributeError):
        p.noSuchField
    with pytest.raises(KeyError):
        p["MACheader.noSuchField"]


def test_fields_describe_every_field():
    fs = tarvio.fields()
    names = {(f.record, f.name) for f in fs}
    assert ("parameters", "dataLength") in names and ("SigGenSettings", "Scaling") in names
    assert ("configuration", "TCPIP.address") in names
    dl = tarvio.fields("dataLength")[0]
    assert dl.unit and dl.meaning and dl.default == tarvio.Parameters().dataLength
    # The command line's reference names the same meaning.
    assert dl.meaning in cli("fields", "dataLength").stdout
    assert all(f.name.split(".")[0] == "MACheader" for f in tarvio.fields("MACheader"))
    assert "dataLength" in tarvio.Parameters.__doc__


# Values no generator can make: the ValueError is the command line's text
# (after "--set FIELD=VALUE: " when the field's own rule refuses it; the
# rules between fields, such as the payload limit, refuse it when the set is
# checked before the calculation).
REFUSED = [
    ("dataLength", "99999", 99999),
    ("numberOfPackets", "1.5", 1.5),
    ("OverSampling", "NaN", float("nan")),
    ("format", "7", 7),
    ("ProjectedLength", "5", 5),
    ("noSuchField", "1", 1),
]


@pytest.mark.parametrize("field,text,value", REFUSED)
def test_refusals_are_worded_as_on_the_command_line(field, text, value):
    r = cli("calc", "--rate", 54, "--set", f"{field}={text}", check=False)
    assert r.returncode == 2
    want = r.stderr.splitlines()[0].removeprefix("tarvio-cli calc: ").removeprefix(f"--set {field}={text}: ")
    with pytest.raises(ValueError) as e:
        p = tarvio.Parameters(rate=54)
        p[field] = value
        p.check()
    assert str(e.value) == want


def test_rates_of_the_list_only_and_refused_payloads_stop_the_calculation():
    with pytest.raises(ValueError, match="data rate must be one of"):
        tarvio.Parameters(rate=7)
    p = tarvio.Parameters(rate=54, dataLength=99999)
    with pytest.raises(ValueError, match="maxDataLen"):
        tarvio.calculate(p)


def test_parameter_file_round_trip_and_the_command_line_reads_it(tmp):
    p = tarvio.Parameters(rate=24, dataLength=700, numberOfPackets=2, sig={"Frequency": 2.412e9})
    p.set_idle_us(20)
    p.save(tmp / "p.mat")
    q = tarvio.Parameters.load(tmp / "p.mat")
    a, b = p.to_dict(), q.to_dict()
    a.pop("multiFrame"), b.pop("multiFrame")
    assert repr(a) == repr(b)
    assert q.sig.Frequency == 2.412e9
    cli("calc", tmp / "p.mat", "--dump", tmp / "d.mat")
    w = tarvio.calculate(q)
    assert np.array_equal(bits(w.samples), bits(load_mat(tmp / "d.mat")["waveform"].ravel()))
    with pytest.raises(RuntimeError, match="nothing.mat"):
        tarvio.Parameters.load(tmp / "nothing.mat")


def test_type_stub_is_current():
    sys.path.insert(0, os.path.join(SOURCE, "python"))
    import make_stub

    with open(os.path.join(SOURCE, "python", "tarvio", "__init__.pyi")) as f:
        assert f.read() == make_stub.stub(), "python/make_stub.py writes python/tarvio/__init__.pyi anew"


def test_impairments_record_set_refused_saved_and_calculated_as_on_the_command_line(tmp):
    p = tarvio.Parameters(rate=54, numberOfPackets=2)
    p.impairments.SNR = 20
    p["Impairments.CFO"] = 30e3
    p.impairments.Seed = 3
    assert (p["Impairments.SNR"], p.impairments.CFO) == (20, 30e3)
    assert ("Impairments", "SNR") in {(f.record, f.name) for f in tarvio.fields()}
    r = cli("calc", "--rate", 54, "--set", "Impairments.NoiseBandwidth=-1", check=False)
    want = r.stderr.splitlines()[0].removeprefix("tarvio-cli calc: ").removeprefix("--set Impairments.NoiseBandwidth=-1: ")
    with pytest.raises(ValueError) as e:
        p.impairments.NoiseBandwidth = -1
    assert r.returncode == 2 and str(e.value) == want
    p.save(tmp / "p.mat")
    q = tarvio.Parameters.load(tmp / "p.mat")
    assert (q.impairments.SNR, q.impairments.CFO, q.impairments.Seed) == (20, 30e3, 3)
    cli("calc", "--rate", 54, "--set", "numberOfPackets=2", "--set", "Impairments.SNR=20",
        "--set", "Impairments.CFO=30e3", "--set", "Impairments.Seed=3", "--dump", tmp / "d.mat")
    w = tarvio.calculate(q)
    assert np.array_equal(bits(w.samples), bits(load_mat(tmp / "d.mat")["waveform"].ravel()))
    assert not np.array_equal(w.samples, tarvio.calculate(tarvio.Parameters(rate=54, numberOfPackets=2)).samples)
