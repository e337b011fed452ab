"""IEEE 802.11a/b/g test waveforms with numpy arrays in and out.

A parameter set, its waveform, the waveform files, the built-in receivers
and the download to the signal generator, as ``tarvio-cli`` has them::

    import tarvio
    p = tarvio.Parameters(rate=54, dataLength=1500, numberOfPackets=3)
    p["MACheader.Contents.Address1.Contents"] = 0x123456789ABC
    w = tarvio.calculate(p)            # w.samples: numpy complex128
    report = tarvio.verify(w)          # per-packet results
    w.export("w.wfm")                  # the instrument's export file
    tarvio.download(w, address="192.0.2.10")

Fields are those of ``tarvio-cli fields`` (``tarvio.fields()`` lists them with
meaning, unit and values); a value no generator can make raises ValueError
with the command line's words. Long calls run off the interpreter's lock;
Ctrl-C stops a calculation and leaves no file behind.
"""

from __future__ import annotations

import dataclasses
import json
import warnings
from typing import Any, Callable, Iterator, Optional

import numpy as np

from . import _tarvio

__all__ = [
    "Field",
    "Parameters",
    "Waveform",
    "Result",
    "VerifyReport",
    "fields",
    "calculate",
    "read",
    "verify",
    "download",
    "play_sdr",
    "analyze",
    "AnalysisReport",
]

_RECORDS = ("parameters", "SigGenSettings", "configuration", "Impairments")


def _warn(notes) -> None:
    for n in notes:
        warnings.warn(n, RuntimeWarning, stacklevel=3)


@dataclasses.dataclass(frozen=True)
class Field:
    """One field of a record: its dotted name, what it means, its unit, the
    values it takes (with the meaning of each code) and its default."""

    record: str
    name: str
    meaning: str
    unit: str
    values: str
    default: Any
    derived: bool
    is_record: bool

    def __str__(self) -> str:
        unit = f" [{self.unit}]" if self.unit else ""
        values = f"; {self.values}" if self.values else ""
        return f"{self.record}.{self.name}{unit}: {self.meaning}{values}"


_FIELDS: Optional[list] = None


def fields(match: Optional[str] = None) -> list:
    """Every field of the parameter set (``parameters``), the playback settings
    (``SigGenSettings``) and the connection (``configuration``), as Field
    objects. With ``match``: those whose dotted name is it or lies below it,
    else those whose name, meaning or values contain it (any case)."""
    global _FIELDS
    if _FIELDS is None:
        _FIELDS = [Field(**d) for d in _tarvio._fields()]
    if not match:
        return list(_FIELDS)
    exact = [
        f
        for f in _FIELDS
        if match in (f.name, f"{f.record}.{f.name}")
        or f.name.startswith(match + ".")
        or f"{f.record}.{f.name}".startswith(match + ".")
    ]
    if exact:
        return exact
    m = match.lower()
    return [f for f in _FIELDS if m in f.name.lower() or m in f.meaning.lower() or m in f.values.lower()]


def _field_doc(record: str, path: str) -> str:
    for f in fields():
        if f.record == record and f.name == path:
            return str(f)
    return f"{record}.{path}"


class _Record:
    """A record inside a parameter set, read and written by attribute:
    ``p.MACheader.Contents.Address1.Contents = 0x12``."""

    __slots__ = ("_owner", "_record", "_path")

    def __init__(self, owner: "Parameters", record: str, path: str):
        object.__setattr__(self, "_owner", owner)
        object.__setattr__(self, "_record", record)
        object.__setattr__(self, "_path", path)

    def _full(self, name: str) -> str:
        return f"{self._path}.{name}" if self._path else name

    def __getattr__(self, name: str):
        if name.startswith("__"):
            raise AttributeError(name)
        return self._owner._get(self._record, self._full(name), attribute=True)

    def __setattr__(self, name: str, value) -> None:
        self._owner._set(self._record, self._full(name), value)

    def __getitem__(self, path: str):
        return self._owner._get(self._record, self._full(path))

    def __setitem__(self, path: str, value) -> None:
        self._owner._set(self._record, self._full(path), value)

    def __dir__(self):
        return self._owner._r.names(self._record, self._path)

    def to_dict(self) -> dict:
        """The record's fields and their values."""
        d = self._owner._r.record(self._record)
        for part in self._path.split(".") if self._path else []:
            d = d[part]
        return d

    def __repr__(self) -> str:
        name = f"{self._record}.{self._path}" if self._path else self._record
        return f"<{name}: {', '.join(self.__dir__())}>"


class Parameters:
    """A parameter set: the defaults (as a calculation starts from them), a
    data rate chosen as the window's data-rate list does, and fields set by
    name with the rules of ``tarvio-cli calc --set``.

    ``Parameters(rate=54, dataLength=1500, **{"Fading.delay": [0.1] + [0] * 11})``;
    ``p.dataLength``, ``p["MACheader.Contents.Address1.Contents"]``,
    ``p.sig.Scaling`` (SigGenSettings, the rules of ``--sig``),
    ``p.impairments.SNR`` (the Impairments record),
    ``p.configuration`` (the connection record). Keywords ``idle_us``,
    ``ramp_us`` (the window's entries in microseconds), ``payload_file`` with
    ``bit_order``, ``memory`` ("MEM-A", "MEM-B", "MEM-C") and ``sig`` (a dict
    of SigGenSettings fields) do what the calc options of the same names do.
    A value that no generator can make raises ValueError naming the field
    and the values it takes."""

    __slots__ = ("_r",)

    def __init__(
        self,
        rate: Optional[float] = None,
        *,
        idle_us: Optional[float] = None,
        ramp_us: Optional[float] = None,
        payload_file: Optional[str] = None,
        bit_order: str = "left-msb",
        memory: Optional[str] = None,
        sig: Optional[dict] = None,
        _records=None,
        **fields_,
    ):
        object.__setattr__(self, "_r", _records if _records is not None else _tarvio._Records())
        if rate is not None:
            self.rate = rate
        for name, value in fields_.items():
            self[name] = value
        for name, value in (sig or {}).items():
            self.sig[name] = value
        if idle_us is not None:
            self.set_idle_us(idle_us)
        if ramp_us is not None:
            self.set_ramp_us(ramp_us)
        if payload_file is not None:
            self.set_payload_file(payload_file, bit_order)
        if memory is not None:
            self.set_memory(memory)

    # Field access -----------------------------------------------------
    def _get(self, record: str, path: str, attribute: bool = False):
        kind = self._r.kind(record, path)
        if not kind:
            if attribute:
                raise AttributeError(f"{record} has no field '{path}'")
            raise KeyError(f"{record} has no field '{path}'")
        if kind == "record":
            return _Record(self, record, path)
        return self._r.get(record, path)

    def _set(self, record: str, path: str, value) -> None:
        _warn(self._r.set(record, path, value))

    def __getattr__(self, name: str):
        if name.startswith("__"):
            raise AttributeError(name)
        return self._get("parameters", name, attribute=True)

    def __setattr__(self, name: str, value) -> None:
        if name in type(self).__dict__ or name in Parameters.__dict__:
            object.__setattr__(self, name, value)
        else:
            self._set("parameters", name, value)

    def __getitem__(self, path: str):
        """A field by its dotted name; "SigGenSettings.X" and
        "configuration.X" and "Impairments.X" reach the other records."""
        record, path = self._split(path)
        return self._get(record, path)

    def __setitem__(self, path: str, value) -> None:
        record, path = self._split(path)
        self._set(record, path, value)

    @staticmethod
    def _split(path: str):
        head, _, rest = path.partition(".")
        if head in _RECORDS and rest:
            return head, rest
        return "parameters", path

    def __dir__(self):
        return sorted(set(self._r.names("parameters", "")) | set(Parameters.__dict__))

    def __iter__(self) -> Iterator[str]:
        return iter(self._r.names("parameters", ""))

    # The other records ------------------------------------------------
    @property
    def sig(self) -> _Record:
        """The playback settings (SigGenSettings), set with the rules of
        ``tarvio-cli calc --sig``."""
        return _Record(self, "SigGenSettings", "")

    @property
    def impairments(self) -> _Record:
        """The transmitter and channel impairments (Impairments), all off by
        default, set with the rules of ``tarvio-cli calc --set
        Impairments.X``: ``p.impairments.SNR = 25``."""
        return _Record(self, "Impairments", "")

    @property
    def configuration(self) -> _Record:
        """The connection and instrument record (configuration)."""
        return _Record(self, "configuration", "")

    # Entries ----------------------------------------------------------
    @property
    def rate(self) -> float:
        """The data rate in Mbit/s (``dataRate``). Setting it chooses the rate
        as the window's data-rate list does: format, modulation, code rate,
        the oversampling and scaling of the family (33 uses OverSampling 3)."""
        return self._r.get("parameters", "dataRate")

    @rate.setter
    def rate(self, value: float) -> None:
        _warn(self._r.select_rate(float(value)))

    def set_idle_us(self, t: float) -> None:
        """The idle interval after each frame in microseconds (0 to 100000),
        as the window's entry takes it."""
        self._r.idle_us(repr(float(t)))

    def set_ramp_us(self, t: float) -> None:
        """The power ramp length in microseconds (0 to 1000)."""
        self._r.ramp_us(repr(float(t)))

    def set_payload_file(self, path: str, bit_order: str = "left-msb") -> None:
        """The payload of every packet from a file (source 7), at most
        maxDataLen bytes; ``bit_order`` "left-msb" or "right-msb"."""
        self._r.payload_file(str(path), bit_order)

    def set_memory(self, option: str) -> None:
        """The instrument's baseband memory: "MEM-A" (8 Msamples), "MEM-B" (32)
        or "MEM-C" (64)."""
        self._r.memory(option)

    def check(self) -> None:
        """Checks the rules between fields as the calculation does before it
        starts (ValueError naming the first field that breaks one)."""
        self._r.check()

    @property
    def sample_rate(self) -> float:
        """The waveform's sample rate in Hz."""
        sr = self._r.get("SigGenSettings", "SamplingRate")
        if sr is None:
            base = 20e6 if self.format == 1 else 11e6
            return base * self.OverSampling
        return float(sr)

    # Files and copies -------------------------------------------------
    @classmethod
    def load(cls, path) -> "Parameters":
        """Reads a parameter file (as ``tarvio-cli calc PARAMFILE``); it is
        checked against what the generators can make."""
        return cls(_records=_tarvio._Records.load(str(path)))

    def save(self, path) -> None:
        """Writes the parameter set and playback settings as a parameter file."""
        self._r.save(str(path))

    def copy(self) -> "Parameters":
        return Parameters(_records=self._r.copy())

    def to_dict(self) -> dict:
        """The parameter set as a dict (nested records as dicts)."""
        return self._r.record("parameters")

    def __repr__(self) -> str:
        return (
            f"Parameters(rate={self.rate:g}, format={self.format:g}, dataLength={self.dataLength:g}, "
            f"numberOfPackets={self.numberOfPackets:g}, OverSampling={self.OverSampling:g})"
        )


def _class_doc() -> None:
    # The field reference in the class's help, from the records' own field list.
    try:
        top = [f for f in fields() if f.record == "parameters" and "." not in f.name]
    except Exception:  # pragma: no cover - the module is always there when imported
        return
    lines = [Parameters.__doc__ or "", "", "Fields:"]
    lines += [f"    {f.name}: {f.meaning}" + (f" [{f.unit}]" if f.unit else "") for f in top]
    Parameters.__doc__ = "\n".join(lines)


_class_doc()


class Waveform:
    """A calculated or read waveform.

    ``samples``: numpy complex128 (or complex64) row, the memory the
    calculation filled. ``markers``: uint8 array 2 x N. ``sample_rate`` in
    Hz. ``packets``: int64 array K x 2 of each packet's first sample and the
    sample after its last (``samples[start:end]``). ``parameters``: the
    parameter set it was made from (None for a file that does not carry
    one)."""

    def __init__(
        self,
        samples: np.ndarray,
        sample_rate: Optional[float],
        markers: Optional[np.ndarray] = None,
        packets: Optional[np.ndarray] = None,
        parameters: Optional[Parameters] = None,
        kind: str = "samples",
        _marker_runs=None,
    ):
        self.samples = samples
        self.sample_rate = sample_rate
        self._markers = markers
        self._marker_runs = _marker_runs
        n = len(samples)
        self.packets = packets if packets is not None else np.array([[0, n]], dtype=np.int64)
        self.parameters = parameters
        self.kind = kind

    @property
    def markers(self) -> np.ndarray:
        """The two marker rows (uint8, 2 x N), built on first use."""
        if self._markers is None:
            if self._marker_runs:
                self._markers = np.concatenate([np.tile(m, (1, c)) for m, c in self._marker_runs], axis=1)
            else:
                self._markers = np.zeros((2, len(self.samples)), dtype=np.uint8)
        return self._markers

    @markers.setter
    def markers(self, value) -> None:
        self._markers = np.ascontiguousarray(value, dtype=np.uint8)
        self._marker_runs = None

    def __len__(self) -> int:
        return len(self.samples)

    def _packet_len(self) -> int:
        lengths = self.packets[:, 1] - self.packets[:, 0]
        if len(lengths) and np.all(lengths == lengths[0]) and lengths[0] * len(lengths) == len(self.samples):
            return int(lengths[0])
        return 0

    def _records(self):
        return self.parameters._r if self.parameters is not None else _tarvio._Records()

    def _rate(self) -> float:
        if self.sample_rate:
            return float(self.sample_rate)
        if self.parameters is not None:
            return self.parameters.sample_rate
        raise ValueError("the waveform's sample rate is not known: set Waveform.sample_rate")

    def _samples(self) -> np.ndarray:
        s = self.samples
        if s.dtype not in (np.complex128, np.complex64) or not s.flags.c_contiguous or s.ndim != 1:
            s = np.ascontiguousarray(s, dtype=np.complex128).reshape(-1)
        return s

    def _write(self, kind: str, path) -> None:
        _tarvio._write(self._records(), self._samples(), self.markers, self._packet_len(), self._rate(), kind, str(path))

    def export(self, path) -> None:
        """Writes the instrument's waveform export file (as ``calc --export``)."""
        self._write("export", path)

    def save_raw(self, path) -> None:
        """Writes the raw 16-bit sample file (as ``calc --raw``)."""
        self._write("raw", path)

    def save_wave(self, path) -> None:
        """Writes the Save Wave MAT file: samplePoints, sampleRate, wave (as
        ``calc --save-wave``)."""
        self._write("save_wave", path)

    def to_sigmf(self, path) -> None:
        """Writes the SigMF recording BASE.sigmf-data and BASE.sigmf-meta (as
        ``calc --sigmf``); ``path`` is BASE or either file's name."""
        self._write("sigmf", path)

    def save_mat(self, path) -> None:
        """Writes the MAT file of ``calc --dump``: waveform, markers,
        parameters, SigGenSettings, sampleRate."""
        _tarvio._save_mat(self._records(), self._samples(), self.markers, self._rate(), str(path))

    def __repr__(self) -> str:
        rate = f"{self.sample_rate / 1e6:g} MHz" if self.sample_rate else "unknown rate"
        return f"<Waveform {self.kind}: {len(self.samples)} samples, {len(self.packets)} packets, {rate}>"


def calculate(
    parameters: Optional[Parameters] = None,
    *,
    progress: Optional[Callable[[float, float], Any]] = None,
    dtype=np.complex128,
) -> Waveform:
    """Calculates the waveform of a parameter set (the defaults when None),
    as ``tarvio-cli calc`` does, off the interpreter's lock: other Python
    threads run meanwhile, and calculations in several threads run at once.
    ``progress(done, total)`` is called with the packets finished (about 20
    times a second at most, and at the end). ``dtype`` complex128 or
    complex64. Ctrl-C (KeyboardInterrupt) stops the calculation; its packet
    file is removed. A check that stops the calculation raises RuntimeError
    with the dialog's words; a refused field value, ValueError."""
    if parameters is None:
        parameters = Parameters()
    single = np.dtype(dtype) == np.complex64
    if not single and np.dtype(dtype) != np.complex128:
        raise ValueError(f"dtype must be complex128 or complex64, not {np.dtype(dtype)}")
    out = _tarvio._calculate(parameters._r, progress, single)
    _warn(out["warnings"])
    return Waveform(
        out["samples"],
        out["sample_rate"],
        packets=out["packets"],
        parameters=Parameters(_records=out["records"]),
        kind="calculation",
        _marker_runs=out["marker_runs"],
    )


def read(path, *, sample_rate: Optional[float] = None) -> Waveform:
    """Reads a waveform file that tarvio writes: a ``--dump`` or Save Wave MAT
    file, an export file, a SigMF recording or a raw file (whose sample rate
    is given with ``sample_rate``). Export and raw files hold the samples
    scaled to their peak (full scale 1)."""
    d = _tarvio._read(str(path))
    records = d["records"]
    return Waveform(
        d["samples"],
        sample_rate or d["sample_rate"],
        markers=d["markers"],
        parameters=Parameters(_records=records) if records is not None else None,
        kind=d["kind"],
    )


class Result:
    """A plain result: its fields as attributes, ``to_dict()`` for all of
    them."""

    def __init__(self, d: dict):
        self._d = d
        for k, v in d.items():
            setattr(self, k, v)

    def to_dict(self) -> dict:
        return json.loads(json.dumps(self._d))

    def __repr__(self) -> str:
        inner = ", ".join(f"{k}={v!r}" for k, v in self._d.items())
        return f"Result({inner})"

    def __eq__(self, other) -> bool:
        return isinstance(other, Result) and self._d == other._d


@dataclasses.dataclass
class VerifyReport:
    """The check of every packet (``packets``, one Result each with the
    fields of ``tarvio-cli verify --json``) and the ``summary``; ``passed``
    is true only when every packet passed."""

    packets: list
    summary: Result
    family: str
    sample_rate: float
    mirrored: bool

    @property
    def passed(self) -> bool:
        return bool(self.summary.pass_)

    def to_dict(self) -> dict:
        return {
            "packets": [p.to_dict() for p in self.packets],
            "summary": self.summary.to_dict(),
            "family": self.family,
            "sample_rate": self.sample_rate,
            "mirrored": self.mirrored,
        }


@dataclasses.dataclass
class AnalysisReport:
    """The analysis of a capture: every packet found (``packets``, one
    Result each with the fields of ``tarvio-cli analyze --json``: verify's
    figures, the packet's time in the capture, its family figures and the
    tolerances it was judged against), the ``summary``, and the capture's
    own figures (``noise_floor_db``, ``burst_level_db``, ``bursts``,
    ``noise_only``, ``note``). ``passed`` is true only when every burst is
    a packet that passed."""

    packets: list
    summary: Result
    sample_rate: float
    samples: int
    bursts: int
    noise_floor_db: Optional[float]
    burst_level_db: Optional[float]
    noise_only: bool
    note: str

    @property
    def passed(self) -> bool:
        return bool(self.summary.pass_)

    def to_dict(self) -> dict:
        d = dataclasses.asdict(self)
        d["packets"] = [p.to_dict() for p in self.packets]
        d["summary"] = self.summary.to_dict()
        return d


def _result(d: dict) -> Result:
    r = Result(d)
    # "pass" is a keyword: also reachable as pass_.
    if "pass" in d:
        r.pass_ = d["pass"]
    return r


def verify(
    waveform: Waveform,
    *,
    sample_rate: Optional[float] = None,
    family: Optional[str] = None,
    mirrored: bool = False,
    threads: int = 0,
) -> VerifyReport:
    """Demodulates and checks every packet with the built-in receivers, as
    ``tarvio-cli calc --verify`` (a calculation: packet by packet, against
    its parameter set's PSDUs) or ``tarvio-cli verify FILE`` (a waveform
    read from a file) does. ``family`` "ofdm" or "dsss" when the sample rate
    allows both; ``mirrored`` for a waveform made with a mirrored spectrum
    (known from its parameter set otherwise)."""
    records = waveform.parameters._r if waveform.parameters is not None else None
    text = _tarvio._verify(
        waveform._samples(),
        float(sample_rate or waveform.sample_rate or 0),
        records,
        waveform._packet_len() if waveform.kind == "calculation" else 0,
        family or "",
        mirrored,
        threads,
    )
    j = json.loads(text)
    return VerifyReport(
        packets=[_result(p) for p in j["packets"]],
        summary=_result(j["summary"]),
        family=j["family"],
        sample_rate=j["sample_rate"],
        mirrored=j["mirrored"],
    )


def download(
    waveform: Waveform,
    *,
    address: Optional[str] = None,
    serial: Optional[str] = None,
    gpib: Optional[str] = None,
    type: Optional[str] = None,
    baud: Optional[int] = None,
    handshake: Optional[str] = None,
    timeout: Optional[float] = None,
) -> Result:
    """Downloads the waveform into the signal generator and sets it up to play
    it, as ``tarvio-cli download`` does: the connection of "rfIOConfig.mat"
    in the working folder (when there) changed by these options, which take
    the values of the command line's (``address`` "HOST[:PORT]",
    "TCPIP::HOST::INSTR" or "vxi11://HOST"; ``gpib`` "BOARD:ADDRESS";
    ``handshake`` "none", "xon" or "rts"). The playback settings are the
    waveform's parameter set's. RuntimeError with the instrument's words
    when it fails."""
    options = []
    for name, value in (
        ("--address", address),
        ("--serial", serial),
        ("--gpib", gpib),
        ("--type", type),
        ("--baud", baud),
        ("--handshake", handshake),
        ("--timeout", timeout),
    ):
        if value is not None:
            options += [name, str(value)]
    d = _tarvio._download(
        waveform._records(), waveform._samples(), waveform.markers, waveform._packet_len(), waveform._rate(), options
    )
    return Result(d)


def play_sdr(
    waveform: Waveform,
    device: str,
    *,
    freq: float,
    gain: float,
    antenna: Optional[str] = None,
    channel: int = 0,
    repeat: int = 1,
    loop: bool = False,
    rate_tx: Optional[float] = None,
) -> Result:
    """Transmits the waveform on a software-defined radio, as ``tarvio-cli
    play --sdr`` does: ``device`` names it as SoapySDR arguments
    ("driver=NAME,serial=..."), ``freq`` (Hz), ``gain`` (dB), ``antenna``
    and ``channel`` are checked against the device's ranges before anything
    is sent; the samples are scaled to full scale at the waveform's peak,
    every run of marker row 2 is a burst; ``repeat`` passes, or ``loop``
    until Ctrl-C, which ends the burst and stops the stream before
    KeyboardInterrupt is raised. A device that cannot run the waveform's
    rate (or ``rate_tx``) gets the waveform resampled to the nearest rate it
    runs, and ``note`` says so. Returns a Result with ``format``,
    ``device_rate``, ``note``, ``samples``, ``bursts``, ``passes``,
    ``underflows`` and ``stopped``; RuntimeError with the reason when the
    device or a setting is refused."""
    if loop and repeat != 1:
        raise ValueError("repeat and loop exclude each other")
    if not loop and repeat < 1:
        raise ValueError("repeat needs a count of 1 or more")
    d = _tarvio._play_sdr(
        waveform._records(),
        waveform._samples(),
        waveform.markers,
        waveform._packet_len(),
        waveform._rate(),
        device,
        float(freq),
        float(gain),
        antenna or "",
        int(channel),
        0 if loop else int(repeat),
        float(rate_tx or 0),
    )
    if d["note"]:
        _warn([d["note"]])
    return Result(d)


def analyze(
    samples,
    sample_rate: Optional[float] = None,
    *,
    center_offset: float = 0.0,
    family: Optional[str] = None,
    carrier: Optional[float] = None,
    threads: int = 0,
) -> AnalysisReport:
    """Finds, decodes and judges every packet of a capture, as ``tarvio-cli
    analyze`` does for a capture file: ``samples`` a one-dimensional complex
    numpy array (complex64 or complex128) or a Waveform, at ``sample_rate``
    Hz (any rate at or above the signal's bandwidth; a Waveform's own when
    not given); ``center_offset`` (Hz) where the signal sits in the
    capture; ``family`` "ofdm" or "dsss" (told from each burst otherwise);
    ``carrier`` (Hz) for the ppm limits of the carrier offset and clock.
    Runs off the interpreter's lock on ``threads`` threads (0: every core);
    Ctrl-C stops it while the capture is scanned. ValueError for samples or
    settings it cannot take."""
    if isinstance(samples, Waveform):
        if sample_rate is None:
            sample_rate = samples.sample_rate
        samples = samples.samples
    x = np.ascontiguousarray(samples)
    if x.dtype.kind != "c":
        x = x.astype(np.complex128)
    j = json.loads(
        _tarvio._analyze(x, float(sample_rate or 0), float(center_offset), family or "", float(carrier or 0), threads)
    )
    return AnalysisReport(
        packets=[_result(p) for p in j["packets"]],
        summary=_result(j["summary"]),
        sample_rate=j["sampleRate"],
        samples=j["samples"],
        bursts=j["bursts"],
        noise_floor_db=j["noiseFloorDb"],
        burst_level_db=j["burstLevelDb"],
        noise_only=j["noiseOnly"],
        note=j.get("note", ""),
    )
