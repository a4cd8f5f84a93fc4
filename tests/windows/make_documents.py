#!/usr/bin/env python3
"""Writes school documents for comparing the Windows and Linux programs byte for byte.

make_documents.py SAMPLE OUTDIR [COUNT]

The sample in four encodings, then COUNT variants of it: rows shuffled, names replaced by
random ones (accents, characters Windows-1252 lacks, long texts that are cut), some values
blank, each saved in a random encoding among those a school document comes in.
"""
import os
import random
import re
import sys
from pathlib import Path

ENCODINGS = ["UTF-8", "ISO-8859-1", "windows-1252", "UTF-16"]
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyzÁÉÍÓÚÑÜáéíóúñüçÇ€Łłŕ "


def encoded(text: str, encoding: str) -> bytes:
    text = re.sub(r'encoding="[^"]*"', f'encoding="{encoding}"', text, count=1)
    python = {"windows-1252": "cp1252", "UTF-16": "utf-16"}.get(encoding, encoding)
    # Characters the encoding lacks become character references, as any XML writer does.
    return text.encode(python, errors="xmlcharrefreplace")


def random_name(rng: random.Random) -> str:
    return "".join(rng.choice(LETTERS) for _ in range(rng.randint(1, 60))).strip() or "X"


def variant(text: str, rng: random.Random) -> str:
    def shuffle_rows(match):
        head, body, tail = match.group(1), match.group(2), match.group(3)
        rows = re.findall(r"<listasal>.*?</listasal>", body, flags=re.S)
        rng.shuffle(rows)
        return head + "\n      " + "\n      ".join(rows) + "\n    " + tail

    text = re.sub(r'(<listasal seq="[A-Z]+">)(.*?)(</listasal>\s*(?=<listasal seq|</SALIDAS>))',
                  shuffle_rows, text, flags=re.S)

    def change_value(match):
        value = match.group(1)
        roll = rng.random()
        if roll < 0.08:
            value = ""
        elif roll < 0.25 and not re.fullmatch(r"[0-9:.]*", value):
            value = random_name(rng)
        return "<salida>" + value.replace("&", "&amp;").replace("<", "&lt;") + "</salida>"

    return re.sub(r"<salida>([^<]*)</salida>", change_value, text)


def main() -> None:
    sample, out = Path(sys.argv[1]), Path(sys.argv[2])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 8
    # Encodings left out (comma-separated), e.g. one that a build cannot read yet.
    left_out = set(filter(None, os.environ.get("TH_COMPARE_LEAVE_OUT", "").split(",")))
    encodings = [e for e in ENCODINGS if e not in left_out]
    out.mkdir(parents=True, exist_ok=True)
    text = sample.read_bytes().decode("iso-8859-1")
    for encoding in encodings:
        (out / f"muestra-{encoding}.xml").write_bytes(encoded(text, encoding))
    for seed in range(count):
        rng = random.Random(seed)
        name = f"variante-{seed:02d}.xml"
        (out / name).write_bytes(encoded(variant(text, rng), rng.choice(encodings)))


if __name__ == "__main__":
    main()
