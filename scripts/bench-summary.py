#!/usr/bin/env python3
"""Prints the summary of scripts/bench.sh: every goal next to its figure.

usage: bench-summary.py WORKDIR

Reads what bench.sh left in WORKDIR: hyperfine's JSON exports (*.json),
peaks.tsv ("name<TAB>KiB"), instructions.tsv ("name<TAB>count") and
inputs.tsv ("file<TAB>bytes"). A figure that was not measured (valgrind or
the window probes missing) shows as "-" and its goal as not measured.
"""

import json
import os
import sys

WORD_LOCALES = ("cs_CZ", "th_TH", "fr_CA", "ar_SA", "vi_VN")
TIES = ("fdfa", "eacute", "eacute-lines")
MB = 1e6


def read_tsv(work, name):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return {}
    rows = (line.rstrip("\n").split("\t") for line in open(path))
    return {key: int(value) for key, value in rows}


def means(work, name, field="mean"):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return {}
    results = json.load(open(path))["results"]
    if field == "cpu":
        return {r["command"]: r["user"] + r["system"] for r in results}
    return {r["command"]: r[field] for r in results}


def means_of_passes(work, names, field="mean"):
    """The mean over several passes of the same commands, each its own file."""
    passes = [means(work, name, field) for name in names]
    passes = [p for p in passes if p]
    if not passes:
        return {}
    return {command: sum(p[command] for p in passes) / len(passes) for command in passes[0]}


class Goals:
    def __init__(self):
        self.rows = []

    def ratio(self, label, numerator, denominator, limit):
        if numerator is None or denominator is None:
            self.rows.append((label, "-", f"<= {limit}x", "not measured"))
            return
        ratio = numerator / denominator
        self.rows.append((label, f"{ratio:.2f}x", f"<= {limit}x",
                          "met" if ratio <= limit else "MISSED"))

    def megabytes(self, label, kib, limit_mb, formula=None):
        limit = f"<= {formula} = {limit_mb:.0f} MB" if formula else f"<= {limit_mb:.0f} MB"
        if kib is None:
            self.rows.append((label, "-", limit, "not measured"))
            return
        mb = kib * 1024 / MB
        self.rows.append((label, f"{mb:.1f} MB", limit, "met" if mb <= limit_mb else "MISSED"))

    def print(self, title):
        print(f"== {title}")
        width = max(len(r[0]) for r in self.rows)
        for label, figure, limit, verdict in self.rows:
            print(f"  {label:<{width}}  {figure:>10}  {limit:<34} {verdict}")
        print()


def main():
    work = sys.argv[1]
    short, words, sizes = means(work, "short.json"), means(work, "words.json"), means(work, "sizes.json")
    startup_passes = ("startup-1.json", "startup-2.json")
    wide_passes = ("wide-1.json", "wide-2.json")
    wide, opening = means_of_passes(work, wide_passes), means(work, "open.json")
    startup = means_of_passes(work, startup_passes)
    ties = means(work, "ties.json")
    peaks = read_tsv(work, "peaks.tsv")
    instructions = read_tsv(work, "instructions.tsv")
    inputs = read_tsv(work, "inputs.tsv")

    # Processor time (user and system) beside each mean: on a machine that
    # others share, it moves less than the time on the clock. sort -f uses
    # both cores on the large file, so there it exceeds the clock time.
    cpu = {"short": {**means(work, "short.json", "cpu"), **means(work, "words.json", "cpu")},
           "wide": means_of_passes(work, wide_passes, "cpu"),
           "windows": {**means_of_passes(work, startup_passes, "cpu"),
                       **means(work, "open.json", "cpu")}}
    print("== Times: mean of hyperfine's runs (processor time); sort -f under the same locale")
    for title, key, figures in (("32767 short lines", "short", {**short, **words}),
                                ("32767 lines of 4 KB", "wide", wide)):
        for locale in ("en_US", "C") + (WORD_LOCALES if key == "short" else ()):
            lex, srt = figures.get(f"lexivorn {locale}"), figures.get(f"sort {locale}")
            if lex is None or srt is None:
                continue
            lex_cpu, srt_cpu = cpu[key][f"lexivorn {locale}"], cpu[key][f"sort {locale}"]
            print(f"  {title:<20} {locale:<6} lexivorn {lex * 1000:7.1f} ms ({lex_cpu * 1000:7.1f})"
                  f"   sort -f {srt * 1000:7.1f} ms ({srt_cpu * 1000:7.1f})   {lex / srt:5.2f}x")
    for tie in TIES:
        lex, srt = ties.get(f"lexivorn {tie}"), ties.get(f"sort C {tie}")
        if lex is not None and srt is not None:
            print(f"  ties-{tie:<14} en_US lexivorn {lex * 1000:7.1f} ms   C sort -f {srt * 1000:7.1f} ms"
                  f"   {lex / srt:5.2f}x")
    for name, mean in {**startup, **opening}.items():
        print(f"  {name:<27} {mean * 1000:7.1f} ms ({cpu['windows'][name] * 1000:7.1f})")
    print()

    if instructions:
        print("== Instructions of the whole process under callgrind (32767 short lines)")
        for locale in ("en_US", "C") + WORD_LOCALES:
            lex, srt = instructions.get(f"lexivorn {locale}"), instructions.get(f"sort {locale}")
            if lex and srt:
                print(f"  {locale:<6} lexivorn {lex / MB:8.1f} M   sort -f {srt / MB:8.1f} M   "
                      f"{lex / srt:5.2f}x")
        lex, bare = instructions.get("lexivorn start-up"), instructions.get("bare QMainWindow")
        if lex and bare:
            print(f"  start-up lexivorn {lex / MB:6.1f} M   bare QMainWindow {bare / MB:6.1f} M   "
                  f"{lex / bare:5.2f}x (no goal: the goal is on time)")
        print()

    print("== Peak memory (one run each)")
    for name, kib in peaks.items():
        print(f"  {name:<34} {kib * 1024 / MB:8.1f} MB")
    print()

    def instr(locale, what):
        return instructions.get(f"{what} {locale}")

    goals = Goals()
    wide_mb = inputs["lines-4k-32767"] / MB
    goals.ratio("132 MB of 4 KB lines, en_US: time / sort -f",
                wide.get("lexivorn en_US"), wide.get("sort en_US"), 0.5)
    goals.ratio("132 MB of 4 KB lines, C: time / sort -f",
                wide.get("lexivorn C"), wide.get("sort C"), 0.75)
    for locale in ("en_US", "C"):
        goals.ratio(f"132 MB of 4 KB lines, {locale}: time / one flushed copy (dd)",
                    wide.get(f"lexivorn {locale}"), wide.get("dd copy"), 1.5)
    for locale in ("en_US", "C"):
        goals.megabytes(f"132 MB of 4 KB lines, {locale}: peak memory",
                        peaks.get(f"lines-4k-32767 lexivorn {locale}"),
                        1.25 * wide_mb + 40, "1.25x input + 40 MB")
    for locale in ("en_US", "C"):
        goals.megabytes(f"one 300 MB line, {locale}: peak memory",
                        peaks.get(f"long-line-300MB lexivorn {locale}"),
                        1.25 * inputs["long-line-300MB"] / MB + 40, "1.25x input + 40 MB")
    for locale, limit in (("en_US", 0.25), ("cs_CZ", 0.25), ("th_TH", 0.25), ("C", 1.0),
                          ("fr_CA", 0.25), ("ar_SA", 0.25), ("vi_VN", 0.25)):
        goals.ratio(f"32767 short lines, {locale}: instructions / sort -f",
                    instr(locale, "lexivorn"), instr(locale, "sort"), limit)
    for locale in ("en_US", "C") + WORD_LOCALES:
        goals.megabytes(f"32767 short lines, {locale}: peak memory",
                        peaks.get(f"short lexivorn {locale}"), 24)
    goals.ratio("start-up / bare QMainWindow", startup.get("lexivorn start-up"),
                startup.get("bare QMainWindow"), 1.2)
    for tie in TIES:
        goals.ratio(f"ties-{tie}, en_US: time / C sort -f",
                    ties.get(f"lexivorn {tie}"), ties.get(f"sort C {tie}"), 1.0)
        goals.megabytes(f"ties-{tie}, en_US: peak memory", peaks.get(f"ties-{tie} lexivorn en_US"),
                        1.25 * inputs[f"ties-{tie}-32767"] / MB + 40, "1.25x input + 40 MB")
    goals.megabytes("two tied 50 MB lines, en_US: peak memory",
                    peaks.get("two-tied-lines-50MB lexivorn en_US"),
                    1.25 * inputs["two-tied-lines-50MB"] / MB + 40, "1.25x input + 40 MB")
    goals.print("Goals of the key work")

    earlier = Goals()
    earlier.ratio("32767 short lines, en_US: time / C sort -f",
                  short.get("lexivorn en_US"), short.get("sort C"), 1.5)
    earlier.ratio("32767 short lines, C: time / C sort -f",
                  short.get("lexivorn C"), short.get("sort C"), 1.25)
    for locale in ("en_US",) + WORD_LOCALES:
        figures = short if locale == "en_US" else words
        earlier.ratio(f"32767 short lines, {locale}: time / sort -f",
                      figures.get(f"lexivorn {locale}"), figures.get(f"sort {locale}"), 0.5)
    earlier.ratio("32767 / 4096 short lines: time", sizes.get("32767"), sizes.get("4096"), 10.0)
    earlier.ratio("Open painted / lexivorn_bench", opening.get("lexivorn Open"),
                  opening.get("lexivorn_bench en_US"), 1.5)
    for mb in (10, 50):
        for locale in ("en_US", "C"):
            earlier.megabytes(f"one {mb} MB line, {locale}: peak memory",
                              peaks.get(f"long-line-{mb}MB lexivorn {locale}"),
                              4 * inputs[f"long-line-{mb}MB"] / MB + 40, "4x input + 40 MB")
    earlier.print("Earlier goals, still kept")


if __name__ == "__main__":
    main()
