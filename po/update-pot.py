#!/usr/bin/env python3
"""Writes the message template po/cptoc.pot from the program's sources.

Japanese is the source language: every text with a Japanese character that is
printed through the console (conPrintf, conErrorf), translated where it is used
(tr) or stored for later translation (N_) is a message. Texts without a
Japanese character (formats of numbers, file names, the English drawn in the
window) are the same in every language and are left out.
Usage: update-pot.py SOURCE_ROOT OUTPUT.pot
"""
import os
import re
import subprocess
import sys
import tempfile

FOLDERS = ("core", "path", "planner", "render", "plot", "app", "answer", "web")
KEYWORDS = ("conPrintf", "conErrorf", "tr", "N_")


def sources(root):
    found = []
    for folder in FOLDERS:
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith((".cpp", ".h", ".cc", ".hpp")):
                    found.append(os.path.relpath(os.path.join(dirpath, name), root))
    return sorted(found)


def entries(text):
    """The entries of a .po/.pot text as lists of lines, separated by blank lines."""
    blocks, block = [], []
    for line in text.splitlines():
        if line.strip():
            block.append(line)
        elif block:
            blocks.append(block)
            block = []
    if block:
        blocks.append(block)
    return blocks


def msgid_of(block):
    """The message id of one entry (escapes kept as written), None for the header."""
    parts, inside = [], False
    for line in block:
        if line.startswith("msgid "):
            inside = True
            line = line[len("msgid "):]
        elif not line.startswith('"'):
            inside = False
            continue
        if inside:
            parts.append(line[1:-1])
    return "".join(parts) if parts else None


def has_japanese(msgid):
    return any(ord(c) > 0x7F for c in msgid)


def extract(root):
    """The template's text: xgettext's output without the texts that need no translation."""
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "raw.pot")
        cmd = ["xgettext", "--from-code=UTF-8", "--language=C++", "--sort-by-file", "--no-wrap",
               "--package-name=cptoc", "--output=" + raw, "--directory=" + root]
        cmd += ["--keyword=" + k for k in KEYWORDS]
        cmd += ["--flag=conPrintf:1:c-format", "--flag=conErrorf:1:c-format",
                "--flag=tr:1:pass-c-format", "--flag=N_:1:pass-c-format"]
        run = subprocess.run(cmd + sources(root), capture_output=True, text=True)
        if run.returncode != 0:  # its usual warning about a bug address is no news
            sys.stderr.write(run.stderr)
            raise SystemExit("xgettext failed")
        with open(raw, encoding="utf-8") as f:
            text = f.read()
    blocks = entries(text)
    kept = [b for b in blocks if msgid_of(b) == "" or has_japanese(msgid_of(b) or "")]
    header = "\n".join(l for l in kept[0] if "POT-Creation-Date" not in l)
    # The header is replaced by a fixed one without the date, so the file changes only with the texts.
    return "\n\n".join([header] + ["\n".join(b) for b in kept[1:]]) + "\n"


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    text = extract(argv[1])
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
