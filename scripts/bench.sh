#!/usr/bin/env bash
# Benchmarks lexivorn_bench against `sort -f` on seeded list files.
# usage: bash scripts/bench.sh BUILDDIR
# Prints hyperfine's figures, the peak memory of each command and the ratios
# against the goals. Missed goals are reported, not failed; the script fails
# only when a command does.
set -euo pipefail

build=${1:?usage: bench.sh BUILDDIR}
here=$(cd "$(dirname "$0")" && pwd)
bench=$build/bin/lexivorn_bench
peakmem=$build/bin/lexivorn_peakmem
data=$build/bench-data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in "$bench" "$peakmem"; do
    [[ -x $tool ]] || { echo "bench.sh: $tool is missing; build first" >&2; exit 1; }
done
command -v hyperfine >/dev/null || { echo "bench.sh: hyperfine is missing (make deps)" >&2; exit 1; }
if ! locale -a 2>/dev/null | grep -qix 'en_US.utf8'; then
    echo "bench.sh: generating the en_US.UTF-8 locale"
    bash "$here/install-deps.sh"
fi

python3 "$here/gen-bench-data.py" "$data"
big=$data/lines-32767.txt
echo "Data: $(wc -c <"$big") bytes, 32767 lines in $big"
echo

# Every command runs without a shell, so each figure is one process.
c_sort="env LC_ALL=C sort -f $big"
us_sort="env LC_ALL=en_US.UTF-8 sort -f $big"
lex_us() { echo "env LC_ALL=en_US.UTF-8 $bench $work/out-$1.txt $data/lines-$1.txt"; }
lex_c="env LC_ALL=C $bench $work/out-c.txt $big"

echo "== 32767 lines: lexivorn_bench against sort -f"
hyperfine -N --warmup 2 --min-runs 10 --style basic --export-json "$work/vs-sort.json" \
    -n "lexivorn_bench en_US" "$(lex_us 32767)" \
    -n "lexivorn_bench C" "$lex_c" \
    -n "LC_ALL=C sort -f" "$c_sort" \
    -n "en_US sort -f" "$us_sort"
echo

echo "== lexivorn_bench by size (en_US.UTF-8)"
hyperfine -N --warmup 2 --min-runs 10 --style basic --export-json "$work/sizes.json" \
    -n 1024 "$(lex_us 1024)" -n 4096 "$(lex_us 4096)" \
    -n 16384 "$(lex_us 16384)" -n 32767 "$(lex_us 32767)"
echo

# Peak resident memory of one run of each command, in KiB.
peak_kib() { "$peakmem" "$@"; }
declare -A peak
peak[lex_us]=$(peak_kib $(lex_us 32767))
peak[lex_c]=$(peak_kib $lex_c)
peak[c_sort]=$(peak_kib $c_sort)
peak[us_sort]=$(peak_kib $us_sort)

python3 - "$work/vs-sort.json" "$work/sizes.json" "${peak[lex_us]}" "${peak[lex_c]}" \
    "${peak[c_sort]}" "${peak[us_sort]}" <<'PY'
import json, sys

def means(path):
    return {r["command"]: r["mean"] for r in json.load(open(path))["results"]}

vs, sizes = means(sys.argv[1]), means(sys.argv[2])
lex_us_kib, lex_c_kib, c_sort_kib, us_sort_kib = map(int, sys.argv[3:7])

def verdict(ok):
    return "met" if ok else "MISSED"

lex = vs["lexivorn_bench en_US"]
lex_c = vs["lexivorn_bench C"]
c_sort = vs["LC_ALL=C sort -f"]
us_sort = vs["en_US sort -f"]

print("== Peak memory (one run, 32767 lines)")
for name, kib in (("lexivorn_bench en_US", lex_us_kib), ("lexivorn_bench C", lex_c_kib),
                  ("LC_ALL=C sort -f", c_sort_kib), ("en_US sort -f", us_sort_kib)):
    print(f"  {name:<22} {kib / 1024:7.1f} MiB")
print()
print("== Goals")
rows = [
    ("lexivorn en_US / C sort -f", lex / c_sort, 1.5),
    ("lexivorn C / C sort -f", lex_c / c_sort, 1.5),
    ("lexivorn en_US / en_US sort -f", lex / us_sort, 0.5),
    ("lexivorn 32767 / 4096 lines", sizes["32767"] / sizes["4096"], 10.0),
]
for name, ratio, goal in rows:
    print(f"  {name:<32} {ratio:6.2f}x  (goal <= {goal}x)  {verdict(ratio <= goal)}")
for name, kib in (("peak memory en_US", lex_us_kib), ("peak memory C", lex_c_kib)):
    mb = kib * 1024 / 1e6
    print(f"  {name:<32} {mb:6.1f} MB  (goal <= 24 MB)  {verdict(mb <= 24)}")
print()
print("  means: " + ", ".join(f"{k} {v * 1000:.1f} ms" for k, v in {**vs, **{f'{k} lines': v for k, v in sizes.items()}}.items()))
PY
