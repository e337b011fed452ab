#!/usr/bin/env python3
"""The man pages against the programs: each page, rendered by groff, holds
every help text of its program word for word and in order (tarvio-cli: the
command list and each command's --help), and groff finds nothing to warn
about in it.

    man_pages_test.py BIN_DIR MAN_DIR"""

import os
import subprocess
import sys
import tempfile

bin_dir, man_dir = sys.argv[1], sys.argv[2]
failures = []
checks = 0

# What a terminal shows for the characters the pages escape.
SAME = str.maketrans({"\u2212": "-", "\u2010": "-", "\u2018": "'", "\u2019": "'", "\u201c": '"', "\u201d": '"'})


def help_text(program, *args):
    with tempfile.TemporaryDirectory() as cwd:
        env = dict(os.environ, LC_ALL="C", QT_QPA_PLATFORM="offscreen")
        r = subprocess.run([os.path.join(bin_dir, program), *args, "--help"], cwd=cwd, env=env,
                           capture_output=True, text=True, check=True)
    return r.stdout


def render(page):
    r = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-P-cbou", page], capture_output=True, text=True)
    return r.stdout, r.stderr, r.returncode


def contains(words, part):
    """Whether the word list `part` occurs in `words` as one run."""
    n = len(part)
    first = part[0]
    return any(words[k:k + n] == part for k in range(len(words) - n + 1) if words[k] == first)


def check(cond, what):
    global checks
    checks += 1
    if not cond:
        failures.append(what)


pages = {"tarvio-cli": None, "tarvio-sim": None, "tarvio-unattended": None}
if os.path.exists(os.path.join(bin_dir, "tarvio")):
    pages["tarvio"] = None
for program in pages:
    page = os.path.join(man_dir, program + ".1")
    check(os.path.exists(page), f"{page} is missing")
    if not os.path.exists(page):
        continue
    out, err, rc = render(page)
    check(rc == 0 and not err.strip(), f"groff on {page}: exit {rc}, {err.strip()}")
    words = out.translate(SAME).split()
    texts = {"--help": help_text(program)}
    if program == "tarvio-cli":
        top = texts["--help"]
        commands = [l.split()[0] for l in top.split("Commands:\n", 1)[1].splitlines() if l.startswith("  ")]
        check(len(commands) >= 10, f"tarvio-cli --help lists {len(commands)} commands")
        for c in commands:
            texts[c + " --help"] = help_text(program, c)
            check(f"\n.SS {c}\n" in open(page, encoding="ascii").read(), f"{page} has no section for {c}")
    for what, text in texts.items():
        check(contains(words, text.split()), f"{page} does not hold the text of {program} {what} word for word")

for f in failures:
    print("FAILED:", f)
print(f"{checks - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
