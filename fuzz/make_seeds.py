#!/usr/bin/python3
"""Writes the seed corpus of the fuzz targets (fuzz/corpus/<target>/).

Run from the repository root with a built tarvio-cli:
    /usr/bin/python3 fuzz/make_seeds.py build/bin/tarvio-cli
The seeds are small valid inputs of each parser, made by this program itself
(parameter and configuration files), by scipy (uncompressed MAT files, whose
structure the fuzzer can change byte by byte) or written here from the
documented layouts (export file, VXI-11 replies, SCPI streams)."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import numpy as np
import scipy.io as sio

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def seed(target, name, data):
    d = os.path.join(ROOT, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def mat_bytes(variables, compress):
    with tempfile.NamedTemporaryFile(suffix=".mat") as t:
        sio.savemat(t.name, variables, do_compression=compress, oned_as="row")
        return open(t.name, "rb").read()


def main(cli):
    cli = os.path.abspath(cli)
    shutil.rmtree(ROOT, ignore_errors=True)
    with tempfile.TemporaryDirectory() as tmp:
        params = os.path.join(tmp, "p.mat")
        subprocess.run([cli, "calc", "--rate", "6", "--set", "dataLength=10", "--save-params", params], check=True,
                       cwd=tmp, stderr=subprocess.DEVNULL)
        subprocess.run([cli, "dump", "configuration", "--out", "c.mat"], check=True, cwd=tmp)
        subprocess.run([cli, "call", "SaveConfig", "@c.mat:configuration"], check=True, cwd=tmp)
        seed("mat_file", "rfIOConfig.mat", open(os.path.join(tmp, "rfIOConfig.mat"), "rb").read())
        raw = open(params, "rb").read()
        loaded = sio.loadmat(params)
        plain = mat_bytes({k: loaded[k] for k in ("fileParameters", "filename", "sigGenParameters")}, False)
        for target in ("mat_file", "parameter_file"):
            seed(target, "parameters_compressed.mat", raw)
            seed(target, "parameters_plain.mat", plain)
        kinds = {
            "s": {"name": "Tarvio", "rate": 5.5, "row": np.array([1.0, 2.0, 3.0]), "iq": np.array([1 + 2j, -3.5j]),
                  "count": np.array([7, -8], dtype=np.int32), "flags": np.array([True, False]),
                  "items": np.array([1.0, "two"], dtype=object)},
            "lines": np.array(["ab", "cd"]),
            "cells": np.array([[1.0], ["x"]], dtype=object),
        }
        subprocess.run([cli, "calc", "--rate", "6", "--set", "dataLength=1", "--dump", "d.mat", "--export", "e.wfm",
                        "--sigmf", "s"], check=True, cwd=tmp, stderr=subprocess.DEVNULL)
        wave = np.exp(2j * np.pi * np.arange(32) / 8) * 0.5
        seed("stored_waveform", "dump.bin", b"\x01" + mat_bytes(
            {"waveform": wave, "markers": np.vstack([np.ones(32), np.arange(32) % 2]), "sampleRate": 20e6}, False))
        seed("stored_waveform", "sigmf.bin", b"\x02" + open(os.path.join(tmp, "s.sigmf-meta"), "rb").read() + b"\x00" +
             open(os.path.join(tmp, "s.sigmf-data"), "rb").read()[:4096])
        seed("mat_file", "kinds_plain.mat", mat_bytes(kinds, False))
        seed("mat_file", "kinds_compressed.mat", mat_bytes(kinds, True))

    seed("wlan_vars", "full.txt", "54 2.412 1500 8 0 0 123456789012 1 2 3 1 1 1 1 1 1 0\n")
    seed("wlan_vars", "short.txt", "11\n5.8\n")
    seed("user_data_file", "bytes.bin", bytes(range(0, 256, 7)))
    seed("user_data_file", "mode.bin", b"\x05hello")
    seed("user_filter_file", "taps.txt", "\x02" + "\n".join(["1.5", "5e-1", "25e-1", "-0.25"]) + "\n")
    seed("user_filter_file", "odd.txt", "\x031 2 3\n4.0e-3 .5 -6\n")
    for i, text in enumerate(["2.4e9", " 12 ", "0x1F", "ABCDEF012345", "-136", "1e400", "nan", "7f"]):
        seed("entry_fields", "entry%d.txt" % i, text)
    for i, text in enumerate(["[1 2; 3 4]", "dataLength=1500", "MACheader.Contents.Address1.Contents=0x123456789ABC",
                              "1+2i", "'text'", "Fading.delay=[0.1 0 0]", "Scaling=NaN", "[1, 2+1i, -0x10]",
                              "Title='A B'", "numberOfPackets=1e9"]):
        seed("cli_value", "value%d.txt" % i, text)
    for i, text in enumerate(["+2.400000000000E+09", "1", " 0 ", "Tarvio,KXQ7R2,SIM0001,1.0", "+0,\"No error\"",
                              "-222,\"Data out of range\""]):
        seed("scpi_reply", "reply%d.txt" % i, text)
    seed("scpi_stream", "session.bin",
         b"\x07*IDN?\n:SOUR:RAD:ARB:STAT OFF\n:MMEM:DATA \"WFM1:X\",#18abcdefgh\n"
         b":MMEM:DATA \"MKR1:X\",#14\x01\x02\x03\x04\n:SOUR:FREQ 1GHz;:POW -10dbm\n:SYST:ERR?\n")
    seed("scpi_stream", "bad_block.bin", b"\x00:MMEM:DATA \"WFM1:Y\",#0abc\n#9\n")

    def reply(xid, results, stat=0, accept=0):
        body = struct.pack(">IIIII", xid, 1, stat, 0, 0) + struct.pack(">I", accept) + results
        return struct.pack(">I", 0x80000000 | len(body)) + body
    seed("vxi11_reply", "create_link.bin", b"\x10\x00" + reply(0, struct.pack(">iiII", 0, 7, 0, 4096)))
    seed("vxi11_reply", "write.bin", b"\x02\x01" + reply(0, struct.pack(">iI", 0, 12)))
    seed("vxi11_reply", "read.bin", b"\x00\x02" + reply(0, struct.pack(">iiI", 0, 4, 5) + b"1.5\n\x00\x00\x00"))
    seed("vxi11_reply", "denied.bin", b"\x00\x00" + struct.pack(">I", 0x80000014) +
         struct.pack(">IIIIII", 0, 1, 1, 0, 2, 2)[:20])

    n = 3
    header = bytearray(192)
    header[0:8] = b"TVWFXPRT"
    struct.pack_into("<IIQIi6d", header, 8, 192, 1, n, 2, 4, 44e6, 2.4e9, 70, 40e6, -1, -2)
    struct.pack_into("<bbbbhH", header, 80, -1, -1, -1, 2, -1, 0)
    header[88:92] = b"opt\x00"
    header[108:114] = b"Tarvio"
    body = struct.pack(">6h", 32767, 0, -16384, 100, 5, -32767) + bytes([1, 2, 3])
    body += struct.pack("<3i", 0, 1 << 30, -5) + struct.pack("<3i", 7, 0, -(1 << 30))
    seed("export_file", "three.wfm", bytes(header) + body)
    seed("stored_waveform", "export.bin", b"\x00" + bytes(header) + body)
    seed("export_file", "empty.wfm", bytes(header[:16]) + struct.pack("<Q", 0) + bytes(header[24:]))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "build/bin/tarvio-cli")
