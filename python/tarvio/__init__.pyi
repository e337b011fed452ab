"""Type stub of the tarvio package (written by python/make_stub.py)."""
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
    # The parameter set's fields (tarvio.fields() describes each).
    ParameterFileFormat_ID: str  # format tag of the parameter set; a parameter file loads only when its tag is this one
    format: float  # signal family (--rate sets it with the rate)
    dot11bScaling: float  # I/Q scaling kept for formats 2 and 3 while format 1 is in force (see SigGenSettings.Scaling) [%]
    dot11aScaling: float  # I/Q scaling kept for format 1 while format 2 or 3 is in force (see SigGenSettings.Scaling) [%]
    generationMode: float  # framing of each packet
    dataRate: float  # data rate (--rate sets it with format, modulation and encoderRate) [Mbit/s]
    highRateMod: float  # modulation of 5.5 and 11 Mbit/s (format 3 always uses PBCC)
    modulation: float  # OFDM sub-carrier modulation (format 1)
    encoderRate: float  # OFDM convolutional code rate (format 1)
    preambleType: float  # PLCP preamble and header
    clkLocked: float  # locked-clocks bit of the DSSS SERVICE field (formats 2 and 3)
    scramblerActive: float  # data scrambler
    scramblerInit: float  # initial state of the OFDM scrambler (format 1)
    encoderActive: float  # PBCC convolutional encoder (PBCC at 5.5 to 33 Mbit/s)
    interleaverActive: float  # OFDM interleaver (format 1)
    SubCarriers: np.ndarray  # OFDM sub-carriers -26 to +26 (format 1); entry 27 is the DC carrier
    Channel: float  # RF channel of the window's channel list (channel c is 2407 + 5c MHz, 14 is 2484 MHz); the carrier played is SigGenSettings.Frequency
    MirrorSpectrum: float  # mirrored spectrum (Q inverted)
    clkStruct: float  # clock-switch description of 33 Mbit/s PBCC (format 3): tail, head and reSync bits packed in one number
    MACheader: _Record  # the MAC header put before the payload of each packet
    incrSeqCtrl: float  # step the sequence number of the MAC header from packet to packet (needs SeqCntrl.Active 1)
    incrFragNum: float  # step the fragment number between sequence-number steps (needs SeqCntrl.Active 1)
    seqCtrlFreq: float  # every seqCtrlFreq-th packet steps the sequence number
    MACfcs: _Record  # the frame check sequence put after the payload of each packet
    maxDataLen: float  # largest dataLength: 4095 minus the active MAC header and FCS bytes for format 1 (12-bit OFDM LENGTH), else 2312 [bytes]
    dataSourceType: float  # payload of every packet (the default is all zeros)
    dataLength: float  # payload bytes per packet, without MAC header and FCS [bytes]
    dataSourceName: str  # name of the user data file (source 7)
    dataSourceBitstream: Value  # bits of the user data file, first bit first; the whole row is the payload of every packet (source 7)
    numberOfPackets: float  # packets per waveform; the whole waveform must fit the instrument's memory (configuration.BBGtype)
    totalLength: float  # bytes of one packet: dataLength plus the active MAC header and FCS (formats 2 and 3: framed only) [bytes]
    OverSampling: float  # samples per 20 MHz OFDM sample (format 1) or per 11 MHz chip (formats 2, 3); the sample rate is 20 MHz x OverSampling (format 1) or 11 MHz x OverSampling
    OverSampling_b: float  # oversampling kept for formats 2 and 3 while format 1 is in force
    OverSampling_a: float  # oversampling kept for format 1 while format 2 or 3 is in force
    WindowingLength: float  # OFDM symbol windowing length (format 1) [samples]
    serviceField: float  # OFDM SERVICE field (format 1); its 7 least significant bits are sent as 0
    rampType: float  # power up/down ramp of each burst (formats 2 and 3, framed)
    rampLength: float  # length of each ramp (--ramp-us sets it in microseconds) [samples]
    FilterType: float  # baseband pulse-shaping filter
    FilterFactor: float  # bandwidth-time product bT (FilterType 1) or roll-off alpha (FilterType 2); other filters ignore it
    FilterTaps: float  # filter length in symbols; the filter has FilterTaps x OverSampling taps [symbols]
    filterCoeffs: np.ndarray  # filter taps: designed from FilterType, FilterTaps, FilterFactor and OverSampling, or read from a user filter file (FilterType 4)
    idleSamples: float  # idle interval after each frame (framed mode; --idle-us sets it in microseconds) [samples]
    ProjectedLength: float  # samples of the whole waveform (size estimate of all packets) [samples]
    Fading: _Record  # twelve multipath paths, path k in column k (applied when FadingState is 1)
    FadingState: float  # apply the multipath paths of Fading
    multiFrame: _Record  # the packet temporary file of the calculation
    faceless: float  # unattended operation: no success messages or window updates

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
