#!/usr/bin/env python3
"""Writes seeded list files for the benchmark.

usage: gen-bench-data.py OUTDIR [SEED]

Writes lines-1024.txt, lines-4096.txt, lines-16384.txt and lines-32767.txt:
words and short phrases in mixed case with accented letters, leading and
trailing spaces, duplicates, punctuation and digits, one per CR LF line, mostly
UTF-8 with a few Windows-1252 lines. The 32767-line file is about 1 MiB.

Writes lines-4k-32767.txt: 32767 lines of about 4 KB each (132 MB), each a
run of those phrases, so that every entry is long but most differ early.

Writes long-line-10MB.txt, long-line-50MB.txt and long-line-300MB.txt: the
same phrases with LF line ends, as a log file has them, which makes each file
one long entry.

Writes words-LOCALE-32767.txt for cs_CZ, th_TH, fr_CA, ar_SA and vi_VN: one
to three words a line in UTF-8. Czech and Thai words are made from the letters
ICU lists as the main exemplar set of the language (ulocdata_getExemplarSet),
so that the sort meets the letters written with two characters ("ch") and the
Thai leading vowels; French words have accents compared from the end, Arabic
words the letters a hamza or madda composes (a few written decomposed), and
Vietnamese syllables their tone marks.

Writes ties-fdfa-32767.txt, ties-eacute-32767.txt and
ties-eacute-lines-32767.txt: entries that tie far beyond the start of their
keys, each a long run and a three-letter tail: 1000 x U+FDFA, a character
whose weights are long (94 MB); 1500 x "e" with an acute, composed and
decomposed in turn (117 MB); and the same with each line either all composed
or all decomposed, in turn.

Writes two-tied-lines-50MB.txt: two lines of ten million "e" with an acute,
the first composed, the second decomposed, so that the two read alike to
their ends.

The same seed always gives the same bytes. Files already written by this
version of the script with the same seed are kept, not written again.
"""

import hashlib
import os
import random
import sys
import unicodedata

SIZES = (1024, 4096, 16384, 32767)
LONG_LINE_MB = (10, 50, 300)
WIDE_LINE_BYTES = 4030

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


# ICU 72's main exemplar sets. Czech: a-z, the accented letters and "ch".
CS_LETTERS = list("abcdefghijklmnopqrstuvwxyzáéíóúýčďěňřšťůž") + ["ch"]
CS_VOWELS = set("aeiouyáéíóúýěů")
# Thai: U+0E01-0E3A and U+0E40-0E4E, sorted here by the part they play.
TH_CONSONANTS = [chr(c) for c in range(0x0E01, 0x0E2F)]
TH_LEADING_VOWELS = [chr(c) for c in range(0x0E40, 0x0E45)]
TH_FOLLOWING = [chr(c) for c in range(0x0E2F, 0x0E3B)] + [chr(c) for c in range(0x0E45, 0x0E4F)]


def alternating_word(rng, letters, vowels):
    out = []
    for _ in range(rng.randint(3, 10)):
        # Alternate loosely between consonants and vowels, as words do.
        want_vowel = bool(out) and out[-1] not in vowels and rng.random() < 0.7
        pool = [c for c in letters if (c in vowels) == want_vowel]
        out.append(rng.choice(pool))
    w = "".join(out)
    r = rng.random()
    if r < 0.2:
        w = w.capitalize()
    elif r < 0.25:
        w = w.upper()
    return w


def cs_word(rng):
    return alternating_word(rng, CS_LETTERS, CS_VOWELS)


def th_word(rng):
    syllables = []
    for _ in range(rng.randint(1, 3)):
        s = rng.choice(TH_CONSONANTS)
        if rng.random() < 0.35:
            s = rng.choice(TH_LEADING_VOWELS) + s
        for _ in range(rng.randint(0, 2)):
            s += rng.choice(TH_FOLLOWING)
        if rng.random() < 0.4:
            s += rng.choice(TH_CONSONANTS)
        syllables.append(s)
    return "".join(syllables)


FR_LETTERS = list("abcdefghijlmnopqrstuvxyz")
FR_ACCENTED = list("àâæçéèêëîïôœùûü")
# Arabic: the main exemplar letters, the hamza and madda forms among them.
AR_LETTERS = [chr(c) for c in range(0x0621, 0x063B)] + [chr(c) for c in range(0x0641, 0x064B)]
VI_INITIALS = ["b", "c", "ch", "d", "đ", "g", "gi", "h", "k", "kh", "l", "m", "n", "ng", "nh",
               "ph", "qu", "r", "s", "t", "th", "tr", "v", "x", ""]
VI_VOWELS = list("aăâeêioôơuưy")
VI_FINALS = ["", "", "c", "ch", "m", "n", "ng", "nh", "p", "t", "i", "o", "u"]
VI_TONES = ["", "\u0300", "\u0301", "\u0303", "\u0309", "\u0323"]


def fr_word(rng):
    letters = [rng.choice(FR_ACCENTED) if rng.random() < 0.12 else rng.choice(FR_LETTERS)
               for _ in range(rng.randint(2, 10))]
    w = "".join(letters)
    return w.capitalize() if rng.random() < 0.2 else w


def ar_word(rng):
    w = "".join(rng.choice(AR_LETTERS) for _ in range(rng.randint(2, 7)))
    return unicodedata.normalize("NFD", w) if rng.random() < 0.05 else w


def vi_word(rng):
    syllable = rng.choice(VI_INITIALS) + rng.choice(VI_VOWELS) + rng.choice(VI_TONES)
    syllable = unicodedata.normalize("NFC", syllable) + rng.choice(VI_FINALS)
    return syllable.capitalize() if rng.random() < 0.15 else syllable


WORD_LOCALES = (("cs_CZ", cs_word), ("th_TH", th_word), ("fr_CA", fr_word), ("ar_SA", ar_word),
                ("vi_VN", vi_word))


def word_lines(rng, count, make_word):
    out = []
    for _ in range(count):
        if out and rng.random() < 0.05:
            out.append(rng.choice(out))
        else:
            out.append(" ".join(make_word(rng) for _ in range(rng.randint(1, 3))))
    return out


def write(outdir, name, data):
    with open(os.path.join(outdir, name), "wb") as f:
        f.write(data)


def wide_lines(rng, count):
    # Runs of phrases cut to one length at the start of a character.
    phrases = [line(rng).encode() for _ in range(4096)]
    out = []
    for _ in range(count):
        text = bytearray()
        while len(text) < WIDE_LINE_BYTES:
            text += rng.choice(phrases) + b" "
        cut = WIDE_LINE_BYTES
        while cut < len(text) and 0x80 <= text[cut] < 0xC0:
            cut -= 1
        out.append(bytes(text[:cut]).rstrip() + b"\r\n")
    return b"".join(out)


def long_line(rng, size):
    phrases = [line(rng).encode() + b"\n" for _ in range(4096)]
    parts, length = [], 0
    while length < size:
        part = rng.choice(phrases)
        parts.append(part)
        length += len(part)
    data = b"".join(parts)
    # Cut at the start of a character, so the line stays UTF-8.
    cut = size
    while cut < len(data) and 0x80 <= data[cut] < 0xC0:
        cut -= 1
    return data[:cut] + b"-" * (size - cut)


def tie_lines(rng, run):
    """32767 lines of run(i) and a three-letter tail, the tails shuffled."""
    letters = "abcdefghijklmnopqrstuvwxyz"
    tails = [a + b + c for a in letters for b in letters for c in letters]
    rng.shuffle(tails)
    tails = (tails * 2)[:32767]
    return b"".join((run(i) + tail).encode("utf-8") + b"\r\n" for i, tail in enumerate(tails))


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    outdir = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) == 3 else 20240607
    os.makedirs(outdir, exist_ok=True)
    stamp_path = os.path.join(outdir, "stamp")
    with open(__file__, "rb") as f:
        stamp = f"{seed} {hashlib.sha256(f.read()).hexdigest()}\n"
    if os.path.exists(stamp_path) and open(stamp_path).read() == stamp:
        return
    for count in SIZES:
        rng = random.Random(seed)
        write(outdir, f"lines-{count}.txt",
              b"".join(encode(rng, text) + b"\r\n" for text in lines(rng, count)))
    write(outdir, "lines-4k-32767.txt", wide_lines(random.Random(seed), 32767))
    for mb in LONG_LINE_MB:
        write(outdir, f"long-line-{mb}MB.txt", long_line(random.Random(seed), mb * 1000 * 1000))
    for locale, make_word in WORD_LOCALES:
        rng = random.Random(seed)
        write(outdir, f"words-{locale}-32767.txt",
              b"".join(text.encode("utf-8") + b"\r\n"
                       for text in word_lines(rng, 32767, make_word)))
    write(outdir, "ties-fdfa-32767.txt", tie_lines(random.Random(seed), lambda i: "\uFDFA" * 1000))
    write(outdir, "ties-eacute-32767.txt",
          tie_lines(random.Random(seed), lambda i: "\u00E9e\u0301" * 750))
    write(outdir, "two-tied-lines-50MB.txt",
          ("\u00E9" * 10_000_000 + "b\r\n" + "e\u0301" * 10_000_000 + "a\r\n").encode("utf-8"))
    write(outdir, "ties-eacute-lines-32767.txt",
          tie_lines(random.Random(seed), lambda i: ("e\u0301" if i % 2 else "\u00E9") * 1500))
    with open(stamp_path, "w") as f:
        f.write(stamp)


if __name__ == "__main__":
    main()
