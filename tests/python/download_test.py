"""tarvio.download to the simulated signal generator."""
import os
import subprocess

import pytest
import tarvio
from conftest import BIN


@pytest.fixture
def sim(tmp):
    store = tmp / "store"
    store.mkdir()
    p = subprocess.Popen([os.path.join(BIN, "tarvio-sim"), "--port", "0", "--store", str(store)], stdout=subprocess.PIPE, text=True)
    port = int(p.stdout.readline().split()[1])
    yield port, store
    p.terminate()
    p.wait(timeout=10)


def test_download_sends_the_waveform(sim, tmp, monkeypatch):
    port, store = sim
    monkeypatch.chdir(tmp)  # no rfIOConfig.mat of the caller's folder
    w = tarvio.calculate(tarvio.Parameters(rate=54, numberOfPackets=2))
    r = tarvio.download(w, address=f"127.0.0.1:{port}", timeout=20)
    assert r.status == 0
    stored = sorted(os.listdir(store))
    assert any(f.endswith(".wfm") for f in stored), stored
    with pytest.raises(ValueError, match="--handshake"):
        tarvio.download(w, address=f"127.0.0.1:{port}", handshake="sideways")
