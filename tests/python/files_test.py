"""Waveform files: each kind written from Python is the command line's file
byte for byte, and tarvio.read gives back what was written."""
import os

import numpy as np
import pytest
import tarvio
from conftest import bits, cli, load_mat

JOB = {"rate": 11, "numberOfPackets": 3, "dataLength": 200, "dataSourceType": 5}

# Method, calc option, the files it writes, how close read() comes back.
KINDS = [
    ("export", "--export", ["w.wfm"], 1e-9),
    ("save_raw", "--raw", ["w.bin"], 3.0 / 32767),
    ("save_wave", "--save-wave", ["w.mat"], 0),
    ("to_sigmf", "--sigmf", ["w.sigmf-data", "w.sigmf-meta"], 1e-6),
]


@pytest.fixture(scope="module")
def job():
    return tarvio.calculate(tarvio.Parameters(**JOB))


def cli_job(*outputs):
    args = ["calc", "--rate", JOB["rate"]]
    for k, v in JOB.items():
        if k != "rate":
            args += ["--set", f"{k}={v}"]
    return cli(*args, *outputs)


@pytest.mark.parametrize("method,option,names,tol", KINDS)
def test_files_equal_the_command_lines_and_read_back(tmp, job, method, option, names, tol):
    (tmp / "py").mkdir()
    (tmp / "cli").mkdir()
    getattr(job, method)(tmp / "py" / names[0])
    cli_job(option, tmp / "cli" / names[0])
    for n in names:
        a, b = (tmp / "py" / n).read_bytes(), (tmp / "cli" / n).read_bytes()
        if n.endswith(".mat"):  # the MAT header holds the time of writing
            a, b = a[128:], b[128:]
        assert a == b, n
    r = tarvio.read(tmp / "py" / names[0], sample_rate=job.sample_rate)
    scale = 1.0 if method in ("save_wave", "to_sigmf") else np.abs(np.r_[job.samples.real, job.samples.imag]).max()
    assert len(r) == len(job) and r.sample_rate == job.sample_rate
    assert np.max(np.abs(r.samples * scale - job.samples)) <= tol * scale + 1e-15
    if method == "export":
        assert np.array_equal(r.markers, job.markers)
    if method == "to_sigmf":  # the bursts are annotated: marker 2
        assert np.array_equal(r.markers[1], job.markers[1])


def test_dump_round_trip_keeps_samples_markers_and_parameters(tmp, job):
    job.save_mat(tmp / "d.mat")
    cli_job("--dump", tmp / "c.mat")
    a, b = load_mat(tmp / "d.mat"), load_mat(tmp / "c.mat")
    assert np.array_equal(bits(a["waveform"]), bits(b["waveform"]))
    assert np.array_equal(a["markers"], b["markers"])
    r = tarvio.read(tmp / "d.mat")
    assert r.kind == "dump" and r.sample_rate == job.sample_rate
    assert np.array_equal(bits(r.samples), bits(job.samples))
    assert np.array_equal(r.markers, job.markers)
    assert r.parameters.dataLength == 200 and r.parameters.numberOfPackets == 3


def test_changed_samples_are_written_as_they_are(tmp, job):
    w = tarvio.Waveform(job.samples * 0.5, job.sample_rate, markers=job.markers, parameters=job.parameters)
    w.save_wave(tmp / "half.mat")
    assert np.array_equal(tarvio.read(tmp / "half.mat").samples, job.samples * 0.5)
    w.samples = w.samples.astype(np.complex64)
    w.to_sigmf(tmp / "s")
    assert np.array_equal(tarvio.read(tmp / "s.sigmf-meta").samples, w.samples.astype(np.complex128))


def test_unreadable_files_name_the_file(tmp):
    with pytest.raises(RuntimeError, match="nope.wfm"):
        tarvio.read(tmp / "nope.wfm")
    (tmp / "odd.bin").write_bytes(b"123")
    with pytest.raises(RuntimeError, match="odd.bin"):
        tarvio.read(tmp / "odd.bin")
