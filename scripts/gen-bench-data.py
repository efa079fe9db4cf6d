#!/usr/bin/env python3
"""Writes seeded list files for the benchmark.

usage: gen-bench-data.py OUTDIR [SEED]

Writes lines-1024.txt, lines-4096.txt, lines-16384.txt and lines-32767.txt:
words and short phrases in mixed case with accented letters, leading and
trailing spaces, duplicates, punctuation and digits, one per CR LF line, mostly UTF-8 with a few Windows-1252 lines.
The 32767-line file is about 1 MiB. Also long-line-10MB.txt and
long-line-50MB.txt: the same phrases with LF line ends, as a log file has
them, which makes each file one long entry. The same seed always gives the
same bytes.
"""

import os
import random
import sys

SIZES = (1024, 4096, 16384, 32767)
LONG_LINE_MB = (10, 50)

CONSONANTS = "bcdfghjklmnprstvwz"
VOWELS = "aeiou"
ACCENTED = "éèêëàâäåáçñöøôóüûúíîïæœß"
PUNCTUATION = "-'.,&/()!"


def syllable(rng):
    s = rng.choice(CONSONANTS) + rng.choice(VOWELS)
    if rng.random() < 0.3:
        s += rng.choice(CONSONANTS)
    if rng.random() < 0.12:
        # Put an accented letter where a plain vowel or consonant would be.
        i = rng.randrange(len(s))
        s = s[:i] + rng.choice(ACCENTED) + s[i + 1:]
    return s


def word(rng):
    w = "".join(syllable(rng) for _ in range(rng.randint(1, 4)))
    r = rng.random()
    if r < 0.25:
        w = w.capitalize()
    elif r < 0.30:
        w = w.upper()
    elif r < 0.35:
        w = "".join(c.upper() if rng.random() < 0.5 else c for c in w)
    return w


def line(rng):
    parts = [word(rng) for _ in range(rng.randint(1, 7))]
    text = " ".join(parts)
    r = rng.random()
    if r < 0.06:
        text = str(rng.randint(0, 99999)) + " " + text
    elif r < 0.10:
        text = text + rng.choice(PUNCTUATION) + str(rng.randint(0, 999))
    elif r < 0.14:
        i = rng.randrange(len(parts))
        parts[i] = parts[i] + rng.choice(PUNCTUATION)
        text = " ".join(parts)
    if rng.random() < 0.05:
        text = " " * rng.randint(1, 4) + text
    if rng.random() < 0.05:
        text = text + " " * rng.randint(1, 3)
    return text


def lines(rng, count):
    out = []
    for _ in range(count):
        if out and rng.random() < 0.08:
            out.append(rng.choice(out))  # a duplicate of an earlier line
        else:
            out.append(line(rng))
    return out


def encode(rng, text):
    # Most lines are UTF-8; a few come from older single-byte files.
    if rng.random() < 0.01:
        return text.encode("cp1252", errors="replace")
    return text.encode("utf-8")


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    outdir = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) == 3 else 20240607
    os.makedirs(outdir, exist_ok=True)
    for count in SIZES:
        rng = random.Random(seed)
        data = b"".join(encode(rng, text) + b"\r\n" for text in lines(rng, count))
        with open(os.path.join(outdir, f"lines-{count}.txt"), "wb") as f:
            f.write(data)
    for mb in LONG_LINE_MB:
        rng = random.Random(seed)
        phrases = [line(rng).encode() for _ in range(4096)]
        size = mb * 1000 * 1000
        data = bytearray()
        while len(data) < size:
            data += rng.choice(phrases) + b"\n"
        # Cut at the start of a character, so the line stays UTF-8.
        cut = size
        while cut < len(data) and 0x80 <= data[cut] < 0xC0:
            cut -= 1
        data = data[:cut] + b"-" * (size - cut)
        with open(os.path.join(outdir, f"long-line-{mb}MB.txt"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
