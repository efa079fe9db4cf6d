#!/usr/bin/env bash
# Benchmarks lexivorn_bench against `sort -f` on seeded list files (mixed
# Latin text under C and en_US, Czech and Thai words under cs_CZ and th_TH), and the
# windows: start-up to the first painted main window against an empty
# QMainWindow program, and an Open of the largest file until the list is
# painted against lexivorn_bench on the same file.
# usage: bash scripts/bench.sh BUILDDIR
# Prints hyperfine's figures, the peak memory of each command, the peak
# memory against input size up to one long line, and the ratios against the
# goals. Missed goals are reported, not failed; the script fails
# only when a command does.
set -euo pipefail

build=${1:?usage: bench.sh BUILDDIR}
here=$(cd "$(dirname "$0")" && pwd)
bench=$build/bin/lexivorn_bench
peakmem=$build/bin/lexivorn_peakmem
startup_probe=$build/bin/lexivorn_startup_probe
bare_probe=$build/bin/lexivorn_bare_probe
open_probe=$build/bin/lexivorn_open_probe
data=$build/bench-data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in "$bench" "$peakmem"; do
    [[ -x $tool ]] || { echo "bench.sh: $tool is missing; build first" >&2; exit 1; }
done
command -v hyperfine >/dev/null || { echo "bench.sh: hyperfine is missing (bash scripts/install-deps.sh bench)" >&2; exit 1; }
for name in en_US cs_CZ th_TH; do
    if ! locale -a 2>/dev/null | grep -qix "$name.utf8"; then
        echo "bench.sh: generating the locales sort -f is compared under"
        bash "$here/install-deps.sh" bench
        break
    fi
done

python3 "$here/gen-bench-data.py" "$data"
big=$data/lines-32767.txt
echo "Data: $(wc -c <"$big") bytes, 32767 lines in $big"
echo

# Every command runs without a shell, so each figure is one process.
c_sort="env LC_ALL=C sort -f $big"
us_sort="env LC_ALL=en_US.UTF-8 sort -f $big"
lex_us() { echo "env LC_ALL=en_US.UTF-8 $bench $work/out-$1.txt $data/lines-$1.txt"; }
lex_c="env LC_ALL=C $bench $work/out-c.txt $big"
# Words of one language under its own locale: "LOCALE lexivorn|sort".
words() {
    local file=$data/words-$1-32767.txt
    if [[ $2 == sort ]]; then
        echo "env LC_ALL=$1.UTF-8 sort -f $file"
    else
        echo "env LC_ALL=$1.UTF-8 $bench $work/out-$1.txt $file"
    fi
}

echo "== 32767 lines: lexivorn_bench against sort -f"
hyperfine -N --warmup 2 --min-runs 10 --style basic --export-json "$work/vs-sort.json" \
    -n "lexivorn_bench en_US" "$(lex_us 32767)" \
    -n "lexivorn_bench C" "$lex_c" \
    -n "LC_ALL=C sort -f" "$c_sort" \
    -n "en_US sort -f" "$us_sort"
echo

echo "== 32767 lines of Czech and of Thai words under their locales"
hyperfine -N --warmup 2 --min-runs 10 --style basic --export-json "$work/words.json" \
    -n "lexivorn_bench cs_CZ" "$(words cs_CZ lexivorn)" -n "cs_CZ sort -f" "$(words cs_CZ sort)" \
    -n "lexivorn_bench th_TH" "$(words th_TH lexivorn)" -n "th_TH sort -f" "$(words th_TH sort)"
echo

echo "== lexivorn_bench by size (en_US.UTF-8)"
hyperfine -N --warmup 2 --min-runs 10 --style basic --export-json "$work/sizes.json" \
    -n 1024 "$(lex_us 1024)" -n 4096 "$(lex_us 4096)" \
    -n 16384 "$(lex_us 16384)" -n 32767 "$(lex_us 32767)"
echo

# The window probes need the windows library; without them the rest still runs.
windows=yes
for tool in "$startup_probe" "$bare_probe" "$open_probe"; do
    [[ -x $tool ]] || { echo "bench.sh: $tool is missing; window figures skipped" >&2; windows=; }
done

# The windows run on Qt's offscreen platform: it sends expose events and
# paints into memory as a screen would, with no display server to start or
# to add noise. A probe whose window never paints fails after 10 s.
mkdir -m 700 "$work/runtime"
ui_env="env LC_ALL=en_US.UTF-8 QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime"
if [[ $windows ]]; then
    echo "== Start-up to the first painted main window (offscreen)"
    hyperfine -N --warmup 3 --min-runs 20 --style basic --export-json "$work/startup.json" \
        -n "lexivorn start-up" "$ui_env $startup_probe" \
        -n "bare QMainWindow" "$ui_env $bare_probe"
    echo

    echo "== Open of 32767 lines until the list is painted (offscreen, scripted dialogs)"
    hyperfine -N --warmup 2 --min-runs 10 --style basic --export-json "$work/open.json" \
        -n "lexivorn Open" "$ui_env $open_probe $big" \
        -n "lexivorn_bench en_US" "$(lex_us 32767)"
    echo
fi

# Peak resident memory of one run of each command, in KiB: "name<TAB>KiB".
# Qt's chatter on standard error is shown only when the command fails.
peak() {
    local kib
    kib=$("$peakmem" "${@:2}" 2>"$work/peak.err") || { cat "$work/peak.err" >&2; exit 1; }
    printf '%s\t%s\n' "$1" "$kib" >>"$work/peaks.tsv"
}
peak "lexivorn_bench en_US" $(lex_us 32767)
peak "lexivorn_bench C" $lex_c
peak "LC_ALL=C sort -f" $c_sort
peak "en_US sort -f" $us_sort
peak "lexivorn_bench cs_CZ" $(words cs_CZ lexivorn)
peak "lexivorn_bench th_TH" $(words th_TH lexivorn)
if [[ $windows ]]; then
    peak "lexivorn start-up" $ui_env "$startup_probe"
    peak "bare QMainWindow" $ui_env "$bare_probe"
    peak "lexivorn Open" $ui_env "$open_probe" "$big"
fi

# Peak memory of lexivorn_bench against the size of its input, up to a log
# file that is one long line (LF alone ends no line): "name<TAB>bytes<TAB>KiB".
for input in lines-1024 lines-32767 long-line-10MB long-line-50MB; do
    for locale in en_US.UTF-8 C; do
        kib=$("$peakmem" env LC_ALL=$locale "$bench" "$work/out-size.txt" "$data/$input.txt" \
            2>"$work/peak.err") || { cat "$work/peak.err" >&2; exit 1; }
        printf '%s %s\t%s\t%s\n' "$input" "${locale%%.*}" "$(wc -c <"$data/$input.txt")" \
            "$kib" >>"$work/by-size.tsv"
    done
done

python3 - "$work" <<'PY'
import json, os, sys

work = sys.argv[1]

def means(name):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return {}
    return {r["command"]: r["mean"] for r in json.load(open(path))["results"]}

vs, sizes, words = means("vs-sort.json"), means("sizes.json"), means("words.json")
startup, opening = means("startup.json"), means("open.json")
peaks = {}
for line in open(os.path.join(work, "peaks.tsv")):
    name, kib = line.rstrip("\n").split("\t")
    peaks[name] = int(kib)

def verdict(ok):
    return "met" if ok else "MISSED"

lex = vs["lexivorn_bench en_US"]
lex_c = vs["lexivorn_bench C"]
c_sort = vs["LC_ALL=C sort -f"]
us_sort = vs["en_US sort -f"]

print("== Peak memory (one run; 32767 lines where a file is read)")
for name, kib in peaks.items():
    print(f"  {name:<22} {kib / 1024:7.1f} MiB")
print()
print("== Peak memory against input size (lexivorn_bench, one run each)")
print(f"  {'input':<22} {'bytes':>11} {'peak':>10} {'goal':>10}")
for line in open(os.path.join(work, "by-size.tsv")):
    name, size, kib = line.rstrip("\n").split("\t")
    peak_mb, goal_mb = int(kib) * 1024 / 1e6, 4 * int(size) / 1e6 + 40
    print(f"  {name:<22} {int(size):>11} {peak_mb:7.1f} MB {goal_mb:7.1f} MB  "
          f"{verdict(peak_mb <= goal_mb)}")
print()
print("== Goals")
rows = [
    ("lexivorn en_US / C sort -f", lex / c_sort, 1.5),
    ("lexivorn C / C sort -f", lex_c / c_sort, 1.25),
    ("lexivorn en_US / en_US sort -f", lex / us_sort, 0.5),
    ("lexivorn cs_CZ / cs_CZ sort -f",
     words["lexivorn_bench cs_CZ"] / words["cs_CZ sort -f"], 0.5),
    ("lexivorn th_TH / th_TH sort -f",
     words["lexivorn_bench th_TH"] / words["th_TH sort -f"], 0.5),
    ("lexivorn 32767 / 4096 lines", sizes["32767"] / sizes["4096"], 10.0),
]
if startup:
    rows.append(("start-up / bare QMainWindow",
                 startup["lexivorn start-up"] / startup["bare QMainWindow"], 1.5))
if opening:
    rows.append(("Open painted / lexivorn_bench",
                 opening["lexivorn Open"] / opening["lexivorn_bench en_US"], 1.5))
for name, ratio, goal in rows:
    print(f"  {name:<32} {ratio:6.2f}x  (goal <= {goal}x)  {verdict(ratio <= goal)}")
for name in ("lexivorn_bench en_US", "lexivorn_bench C", "lexivorn_bench cs_CZ",
             "lexivorn_bench th_TH"):
    mb = peaks[name] * 1024 / 1e6
    label = "peak memory " + name.split()[-1]
    print(f"  {label:<32} {mb:6.1f} MB  (goal <= 24 MB)  {verdict(mb <= 24)}")
print()
figures = {**vs, **words, **{f"{k} lines": v for k, v in sizes.items()}, **startup,
           **{f"{k} (Open run)": v for k, v in opening.items()}}
print("  means: " + ", ".join(f"{k} {v * 1000:.1f} ms" for k, v in figures.items()))
PY
