#!/usr/bin/env python3
"""Writes the man pages of tarvio-cli, tarvio-sim, tarvio-unattended and tarvio from
the programs' own --help texts (tarvio-cli: the command list and every
command's --help), so that a page says exactly what the program says.

    gen_man.py --version V --out DIR PROGRAM...

Each PROGRAM is run with --help; DIR/NAME.1 is written for each. The help
texts are turned into man markup without changing a word: "usage:" lines
and indented lines that are not options stay as they stand, option lines
("  --name ARG  what it does", and the lines continuing them) become tagged
paragraphs, other lines are filled into paragraphs."""

import argparse
import os
import re
import subprocess
import sys
import tempfile

# The one-line description of each page's NAME section (what whatis and
# apropos show) and the pages it points to.
PAGES = {
    "tarvio-cli": "calculate, export, verify and download IEEE 802.11a/b/g test waveforms",
    "tarvio-sim": "a simulated signal generator for Tarvio's SCPI instrument control",
    "tarvio-unattended": "calculate and download a waveform from the working folder's settings",
    "tarvio": "the desktop program: edit, calculate, display and download IEEE 802.11a/b/g test waveforms",
}

OPTION = re.compile(r"^(\s+)(-\S.*?)(?:\s{2,}(\S.*))?$")


def run_help(program, *args):
    """The program's help text (standard output of PROGRAM ARGS --help)."""
    with tempfile.TemporaryDirectory() as cwd:
        # The desktop program needs no display for --help; in a sanitizer
        # build the help run is no leak check.
        env = dict(os.environ, LC_ALL="C", QT_QPA_PLATFORM="offscreen", ASAN_OPTIONS="detect_leaks=0")
        r = subprocess.run([program, *args, "--help"], cwd=cwd, env=env, capture_output=True, text=True)
    if r.returncode != 0 or not r.stdout.strip():
        sys.exit(f"gen_man.py: {' '.join([program, *args, '--help'])} failed ({r.returncode}): {r.stderr.strip()}")
    return r.stdout


def esc(text):
    """Text escaped for man markup: backslashes, minus signs and quotes that
    copy as typed, and characters outside ASCII by their code point."""
    out = []
    for ch in text:
        if ch == "\\":
            out.append("\\e")
        elif ch == "-":
            out.append("\\-")
        elif ch == "'":
            out.append("\\(aq")
        elif ch == "`":
            out.append("\\(ga")
        elif ord(ch) > 126:
            out.append(f"\\[u{ord(ch):04X}]")
        else:
            out.append(ch)
    s = "".join(out)
    return "\\&" + s if s.startswith(".") else s


def bold_options(tag):
    """The option names of an option tag in bold, their arguments as typed."""
    return re.sub(r"(^|[\s|\[,])(\\-\\-?[A-Za-z0-9][A-Za-z0-9\\=-]*)", r"\1\\fB\2\\fR", esc(tag))


def body(text):
    """Man markup for one help text."""
    out = []
    lines = text.rstrip("\n").split("\n")
    para, pre = [], []
    entry = None  # [indent, tag, description lines]

    def flush():
        nonlocal entry
        if para:
            out.append(" ".join(esc(line.strip()) for line in para))
            para.clear()
        if entry:
            out.append(".TP")
            out.append(bold_options(entry[1]))
            if entry[2]:
                out.append(" ".join(esc(d) for d in entry[2]))
            else:
                out.append("\\&")
            entry = None
        if pre:
            out.append(".nf")
            out.extend(esc(line) for line in pre)
            out.append(".fi")
            pre.clear()

    usage = False
    for line in lines:
        if not line.strip():
            flush()
            usage = False
            if out and out[-1] != ".PP":
                out.append(".PP")
            continue
        indented = line[0].isspace()
        if line.startswith("usage:"):
            flush()
            usage = True
            pre.append(line)
            continue
        if usage and indented:
            pre.append(line)
            continue
        usage = False
        if not indented:
            if pre or entry:
                flush()
                out.append(".PP")  # the text after a list is a paragraph of its own
            para.append(line)
            continue
        m = OPTION.match(line)
        indent = len(line) - len(line.lstrip())
        if m:
            flush()
            entry = [indent, m.group(2), [m.group(3)] if m.group(3) else []]
            continue
        if entry and indent > entry[0]:
            entry[2].append(line.strip())
            continue
        if para or entry:
            flush()
        pre.append(line)
    flush()
    while out and out[-1] == ".PP":
        out.pop()
    return out


def header(name, version):
    return [
        f'.TH {name.upper()} 1 "" "tarvio {version}" "Tarvio manual"',
        ".\\\" Written by gen_man.py from the program's --help texts; do not edit.",
        ".nh",
        ".ad l",
        ".SH NAME",
        f"{esc(name)} \\- {esc(PAGES[name])}",
    ]


def see_also(name):
    others = [p for p in PAGES if p != name]
    refs = ", ".join(f"\\fB{esc(p)}\\fR(1)" for p in others)
    return [".SH SEE ALSO", refs + ", and the user guide and file layouts in /usr/share/doc/tarvio (or the doc "
            "folder of the install prefix)."]


def cli_page(program, version):
    top = run_help(program)
    commands = []
    in_list = False
    for line in top.split("\n"):
        if line.strip() == "Commands:":
            in_list = True
        elif in_list and line.startswith("  ") and line.strip():
            commands.append(line.split()[0])
    if not commands:
        sys.exit(f"gen_man.py: {program} --help lists no commands")
    out = header("tarvio-cli", version)
    out += [".SH DESCRIPTION"] + body(top)
    out += [".SH COMMANDS"]
    for c in commands:
        out += [f".SS {esc(c)}"] + body(run_help(program, c))
    return out + see_also("tarvio-cli")


def plain_page(name, program, version):
    out = header(name, version)
    out += [".SH DESCRIPTION"] + body(run_help(program))
    return out + see_also(name)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--version", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("programs", nargs="+")
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    for program in a.programs:
        name = os.path.basename(program)
        if name not in PAGES:
            sys.exit(f"gen_man.py: no man page is known for '{program}' ({', '.join(PAGES)} are)")
        lines = cli_page(program, a.version) if name == "tarvio-cli" else plain_page(name, program, a.version)
        path = os.path.join(a.out, name + ".1")
        tmp = path + ".tmp"
        with open(tmp, "w", encoding="ascii") as f:
            f.write("\n".join(lines) + "\n")
        os.replace(tmp, path)


if __name__ == "__main__":
    main()
