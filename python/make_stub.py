#!/usr/bin/env python3
"""Writes python/tarvio/__init__.pyi, the type stub of the tarvio package,
from the package's own API and the records' field list (every top-level
field of the parameter set becomes an attribute of Parameters with its
meaning as comment), so that editors complete both.

usage: PYTHONPATH=build/python python3 python/make_stub.py [OUT]
"""
import os
import sys

import numpy as np

# The package as built (PYTHONPATH), not its sources beside this script.
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path = [p for p in sys.path if os.path.abspath(p or ".") != HERE]
import tarvio  # noqa: E402

HEAD = '''"""Type stub of the tarvio package (written by python/make_stub.py)."""
from typing import Any, Callable, Iterator, Optional, Union

import numpy as np

Value = Union[float, complex, str, np.ndarray, None]

class Field:
    record: str
    name: str
    meaning: str
    unit: str
    values: str
    default: Any
    derived: bool
    is_record: bool

def fields(match: Optional[str] = ...) -> list[Field]: ...

class _Record:
    def __getattr__(self, name: str) -> Any: ...
    def __setattr__(self, name: str, value: Any) -> None: ...
    def __getitem__(self, path: str) -> Any: ...
    def __setitem__(self, path: str, value: Any) -> None: ...
    def to_dict(self) -> dict: ...

class Parameters:
    def __init__(
        self,
        rate: Optional[float] = ...,
        *,
        idle_us: Optional[float] = ...,
        ramp_us: Optional[float] = ...,
        payload_file: Optional[str] = ...,
        bit_order: str = ...,
        memory: Optional[str] = ...,
        sig: Optional[dict] = ...,
        **fields: Any,
    ) -> None: ...
    rate: float
    @property
    def sig(self) -> _Record: ...
    @property
    def impairments(self) -> _Record: ...
    @property
    def configuration(self) -> _Record: ...
    @property
    def sample_rate(self) -> float: ...
    def __getitem__(self, path: str) -> Any: ...
    def __setitem__(self, path: str, value: Any) -> None: ...
    def __iter__(self) -> Iterator[str]: ...
    def set_idle_us(self, t: float) -> None: ...
    def set_ramp_us(self, t: float) -> None: ...
    def set_payload_file(self, path: str, bit_order: str = ...) -> None: ...
    def set_memory(self, option: str) -> None: ...
    def check(self) -> None: ...
    @classmethod
    def load(cls, path: Any) -> Parameters: ...
    def save(self, path: Any) -> None: ...
    def copy(self) -> Parameters: ...
    def to_dict(self) -> dict: ...
'''

TAIL = '''
class Waveform:
    samples: np.ndarray
    sample_rate: Optional[float]
    packets: np.ndarray
    parameters: Optional[Parameters]
    kind: str
    def __init__(
        self,
        samples: np.ndarray,
        sample_rate: Optional[float],
        markers: Optional[np.ndarray] = ...,
        packets: Optional[np.ndarray] = ...,
        parameters: Optional[Parameters] = ...,
        kind: str = ...,
    ) -> None: ...
    @property
    def markers(self) -> np.ndarray: ...
    @markers.setter
    def markers(self, value: np.ndarray) -> None: ...
    def __len__(self) -> int: ...
    def export(self, path: Any) -> None: ...
    def save_raw(self, path: Any) -> None: ...
    def save_wave(self, path: Any) -> None: ...
    def to_sigmf(self, path: Any) -> None: ...
    def save_mat(self, path: Any) -> None: ...

class Result:
    def __getattr__(self, name: str) -> Any: ...
    def to_dict(self) -> dict: ...

class VerifyReport:
    packets: list[Result]
    summary: Result
    family: str
    sample_rate: float
    mirrored: bool
    @property
    def passed(self) -> bool: ...
    def to_dict(self) -> dict: ...

def calculate(
    parameters: Optional[Parameters] = ...,
    *,
    progress: Optional[Callable[[float, float], Any]] = ...,
    dtype: Any = ...,
) -> Waveform: ...
def read(path: Any, *, sample_rate: Optional[float] = ...) -> Waveform: ...
def verify(
    waveform: Waveform,
    *,
    sample_rate: Optional[float] = ...,
    family: Optional[str] = ...,
    mirrored: bool = ...,
    threads: int = ...,
) -> VerifyReport: ...
def download(
    waveform: Waveform,
    *,
    address: Optional[str] = ...,
    serial: Optional[str] = ...,
    gpib: Optional[str] = ...,
    type: Optional[str] = ...,
    baud: Optional[int] = ...,
    handshake: Optional[str] = ...,
    timeout: Optional[float] = ...,
) -> Result: ...
class AnalysisReport:
    packets: list[Result]
    summary: Result
    sample_rate: float
    samples: int
    bursts: int
    noise_floor_db: Optional[float]
    burst_level_db: Optional[float]
    noise_only: bool
    note: str
    @property
    def passed(self) -> bool: ...
    def to_dict(self) -> dict: ...
def analyze(
    samples: Any,
    sample_rate: Optional[float] = ...,
    *,
    center_offset: float = ...,
    family: Optional[str] = ...,
    carrier: Optional[float] = ...,
    threads: int = ...,
) -> AnalysisReport: ...
def play_sdr(
    waveform: Waveform,
    device: str,
    *,
    freq: float,
    gain: float,
    antenna: Optional[str] = ...,
    channel: int = ...,
    repeat: int = ...,
    loop: bool = ...,
    rate_tx: Optional[float] = ...,
) -> Result: ...
'''


def annotation(f) -> str:
    if f.is_record:
        return "_Record"
    d = f.default
    if isinstance(d, str):
        return "str"
    if isinstance(d, np.ndarray):
        return "np.ndarray"
    if d is None:
        return "Value"
    return "float"


def stub() -> str:
    lines = [HEAD.rstrip("\n"), "    # The parameter set's fields (tarvio.fields() describes each)."]
    for f in tarvio.fields():
        if f.record != "parameters" or "." in f.name or f.name == "rate":
            continue
        unit = f" [{f.unit}]" if f.unit else ""
        lines.append(f"    {f.name}: {annotation(f)}  # {f.meaning}{unit}")
    return "\n".join(lines) + "\n" + TAIL


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "tarvio", "__init__.pyi")
    with open(out, "w") as fh:
        fh.write(stub())
