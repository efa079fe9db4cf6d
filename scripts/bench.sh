#!/usr/bin/env bash
# Benchmarks lexivorn_bench against `sort -f` on seeded list files, and the
# windows: start-up to the first painted main window against an empty
# QMainWindow program, and an Open until the list is painted.
# usage: bash scripts/bench.sh BUILDDIR
#
# What is measured, each side by side with its yardstick in the same run:
# - 32767 short lines (mixed Latin text under en_US and C; words of Czech,
#   Thai, Canadian French, Arabic and Vietnamese under their locales): time,
#   whole-process instructions under callgrind and peak memory;
# - 32767 lines of 4 KB (132 MB) under en_US and C: time and peak memory,
#   and the time of the least a save of them takes: one copy, flushed (dd);
# - one long line of 10, 50 and 300 MB: peak memory;
# - 32767 entries that tie far beyond the start of their keys, under en_US:
#   time and peak memory, against C sort -f, which compares bytes; two
#   long lines that tie to their ends: peak memory;
# - the windows, on Qt's offscreen platform.
# Ends with every goal next to its figure. Missed goals are reported, not
# failed; the script fails only when a command does. Takes about five to ten
# minutes on two cores, the first run a minute more for the data.
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
word_locales=(cs_CZ th_TH fr_CA ar_SA vi_VN)

for tool in "$bench" "$peakmem"; do
    [[ -x $tool ]] || { echo "bench.sh: $tool is missing; build first" >&2; exit 1; }
done
command -v hyperfine >/dev/null || { echo "bench.sh: hyperfine is missing (bash scripts/install-deps.sh bench)" >&2; exit 1; }
for name in en_US "${word_locales[@]}"; do
    if ! locale -a 2>/dev/null | grep -qix "$name.utf8"; then
        echo "bench.sh: generating the locales sort -f is compared under"
        bash "$here/install-deps.sh" bench
        break
    fi
done

python3 "$here/gen-bench-data.py" "$data"
short=$data/lines-32767.txt
wide=$data/lines-4k-32767.txt
ties=(fdfa eacute eacute-lines)
tied() { echo "$data/ties-$1-32767.txt"; }
for file in "$short" "$wide" "$data"/long-line-*.txt "$data"/ties-*.txt "$data"/two-tied-lines-50MB.txt; do
    printf '%s\t%s\n' "$(basename "$file" .txt)" "$(wc -c <"$file")" >>"$work/inputs.tsv"
done
echo "Data in $data: 32767 short lines ($(wc -c <"$short") bytes), 32767 lines of 4 KB ($(wc -c <"$wide") bytes)"
echo

# Every command runs without a shell, so each figure is one process.
# "lexivorn|sort LOCALE FILE": the command line for one sort of FILE.
cmd() {
    local locale=$2
    [[ $locale == C ]] || locale=$locale.UTF-8
    if [[ $1 == sort ]]; then
        echo "env LC_ALL=$locale sort -f $3"
    else
        echo "env LC_ALL=$locale $bench $work/out.txt $3"
    fi
}
words() { echo "$data/words-$1-32767.txt"; }
timed() { hyperfine -N --style basic "$@"; echo; }

echo "== 32767 short lines: lexivorn_bench against sort -f"
timed --warmup 2 --min-runs 10 --export-json "$work/short.json" \
    -n "lexivorn en_US" "$(cmd lexivorn en_US "$short")" -n "sort en_US" "$(cmd sort en_US "$short")" \
    -n "lexivorn C" "$(cmd lexivorn C "$short")" -n "sort C" "$(cmd sort C "$short")"

echo "== 32767 lines of words under their own locales"
args=()
for locale in "${word_locales[@]}"; do
    args+=(-n "lexivorn $locale" "$(cmd lexivorn "$locale" "$(words "$locale")")")
    args+=(-n "sort $locale" "$(cmd sort "$locale" "$(words "$locale")")")
done
timed --warmup 1 --min-runs 10 --export-json "$work/words.json" "${args[@]}"

echo "== lexivorn_bench by size (en_US)"
args=()
for n in 1024 4096 16384 32767; do args+=(-n "$n" "$(cmd lexivorn en_US "$data/lines-$n.txt")"); done
timed --warmup 2 --min-runs 10 --export-json "$work/sizes.json" "${args[@]}"

echo "== 32767 lines of 4 KB (132 MB): lexivorn_bench against sort -f"
# Twice, in both orders, as the start-ups are: a run that allocates soon
# after another command freed 132 MB may stall for a second on a virtual
# machine, and the two orders share out which commands follow which.
wide_commands=(-n "lexivorn en_US" "$(cmd lexivorn en_US "$wide")" -n "sort en_US" "$(cmd sort en_US "$wide")"
    -n "lexivorn C" "$(cmd lexivorn C "$wide")" -n "sort C" "$(cmd sort C "$wide")"
    -n "dd copy" "dd if=$wide of=$work/out.txt bs=1M conv=fdatasync status=none")
reversed=()
for ((i = ${#wide_commands[@]} - 3; i >= 0; i -= 3)); do
    reversed+=("${wide_commands[@]:i:3}")
done
timed --warmup 1 --runs 3 --export-json "$work/wide-1.json" "${wide_commands[@]}"
timed --warmup 1 --runs 3 --export-json "$work/wide-2.json" "${reversed[@]}"

echo "== 32767 entries that tie far beyond their starts: lexivorn_bench en_US against C sort -f"
args=()
for tie in "${ties[@]}"; do
    args+=(-n "lexivorn $tie" "$(cmd lexivorn en_US "$(tied "$tie")")")
    args+=(-n "sort C $tie" "$(cmd sort C "$(tied "$tie")")")
done
timed --warmup 1 --runs 3 --export-json "$work/ties.json" "${args[@]}"

# The window probes need the windows library; without them the rest still runs.
windows=yes
for tool in "$startup_probe" "$bare_probe" "$open_probe"; do
    [[ -x $tool ]] || { echo "bench.sh: $tool is missing; window figures skipped" >&2; windows=; }
done

# The windows run on Qt's offscreen platform: it sends expose events and
# paints into memory as a screen would, with no display server to start or
# to add noise. A probe whose window never paints fails after 10 s. They
# run in a clean environment (env -i), as a session starts a program: the
# path, the locale and a runtime folder alone, so that nothing of the
# caller's environment (a platform theme, a display, a home folder and its
# font settings) weighs on one side.
mkdir -m 700 "$work/runtime"
ui_env="env -i PATH=$PATH LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen"

# Instructions of the whole process, dynamic loading included, as callgrind
# counts them: steady where times on a shared machine are not.
# "name<TAB>instructions".
if command -v valgrind >/dev/null; then
    echo "== Instructions under callgrind: 32767 short lines, and the window start-ups"
    # count NAME [env [-i] SETTING...] COMMAND...: the settings go before
    # valgrind, which follows no exec.
    count() {
        local name=$1 settings=()
        shift
        [[ $1 == env ]] && shift
        [[ $1 == -i ]] && { settings+=(-i); shift; }
        while [[ $1 == *=* ]]; do
            settings+=("$1")
            shift
        done
        env "${settings[@]}" valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" \
            --log-file="$work/callgrind.log" "$@" >/dev/null 2>"$work/callgrind.err" ||
            { cat "$work/callgrind.log" "$work/callgrind.err" >&2; exit 1; }
        local n
        n=$(sed -n 's/^totals: *//p' "$work/callgrind.out")
        [[ $n ]] || { echo "bench.sh: no count from callgrind for $name" >&2; exit 1; }
        printf '  %-16s %15s\n' "$name" "$n"
        printf '%s\t%s\n' "$name" "$n" >>"$work/instructions.tsv"
    }
    for locale in en_US C "${word_locales[@]}"; do
        file=$short
        [[ $locale == en_US || $locale == C ]] || file=$(words "$locale")
        for what in lexivorn sort; do
            # shellcheck disable=SC2046 # the command is split into its words
            count "$what $locale" $(cmd "$what" "$locale" "$file")
        done
    done
    if [[ $windows ]]; then
        # shellcheck disable=SC2086 # the settings are split into their words
        count "lexivorn start-up" $ui_env "$startup_probe"
        # shellcheck disable=SC2086
        count "bare QMainWindow" $ui_env "$bare_probe"
    fi
    echo
else
    echo "bench.sh: valgrind is missing; instruction counts skipped" >&2
fi

if [[ $windows ]]; then
    # Twice, in both orders, each after one warm-up: a machine that others
    # share grows busier or quieter meanwhile, and the two orders share
    # that out evenly. The goal is on the means of both.
    echo "== Start-up to the first painted main window (offscreen, clean environment)"
    timed --warmup 1 --min-runs 20 --export-json "$work/startup-1.json" \
        -n "lexivorn start-up" "$ui_env $startup_probe" \
        -n "bare QMainWindow" "$ui_env $bare_probe"
    timed --warmup 1 --min-runs 20 --export-json "$work/startup-2.json" \
        -n "bare QMainWindow" "$ui_env $bare_probe" \
        -n "lexivorn start-up" "$ui_env $startup_probe"

    echo "== Open of 32767 short lines until the list is painted (offscreen, scripted dialogs)"
    timed --warmup 2 --min-runs 10 --export-json "$work/open.json" \
        -n "lexivorn Open" "$ui_env $open_probe $short" \
        -n "lexivorn_bench en_US" "$(cmd lexivorn en_US "$short")"
fi

# Peak resident memory of one run of each command, in KiB: "name<TAB>KiB".
# Qt's chatter on standard error is shown only when the command fails.
echo "== Peak memory (one run each)"
peak() {
    local kib
    kib=$("$peakmem" "${@:2}" 2>"$work/peak.err") || { cat "$work/peak.err" >&2; exit 1; }
    printf '%s\t%s\n' "$1" "$kib" >>"$work/peaks.tsv"
}
for what in lexivorn sort; do
    # shellcheck disable=SC2046
    {
        peak "short $what en_US" $(cmd "$what" en_US "$short")
        peak "short $what C" $(cmd "$what" C "$short")
        for locale in "${word_locales[@]}"; do
            peak "short $what $locale" $(cmd "$what" "$locale" "$(words "$locale")")
        done
        peak "lines-4k-32767 $what en_US" $(cmd "$what" en_US "$wide")
        peak "lines-4k-32767 $what C" $(cmd "$what" C "$wide")
    }
done
for tie in "${ties[@]}"; do
    # shellcheck disable=SC2046
    peak "ties-$tie lexivorn en_US" $(cmd lexivorn en_US "$(tied "$tie")")
done
# shellcheck disable=SC2046
peak "two-tied-lines-50MB lexivorn en_US" $(cmd lexivorn en_US "$data/two-tied-lines-50MB.txt")
for mb in 10 50 300; do
    for locale in en_US C; do
        # shellcheck disable=SC2046
        peak "long-line-${mb}MB lexivorn $locale" $(cmd lexivorn "$locale" "$data/long-line-${mb}MB.txt")
    done
done
if [[ $windows ]]; then
    # shellcheck disable=SC2086 # the settings are split into their words
    peak "lexivorn start-up" $ui_env "$startup_probe"
    # shellcheck disable=SC2086
    peak "bare QMainWindow" $ui_env "$bare_probe"
    # shellcheck disable=SC2086
    peak "lexivorn Open" $ui_env "$open_probe" "$short"
fi
echo

python3 "$here/bench-summary.py" "$work"
echo
echo "bench.sh: done in $((SECONDS / 60)) min $((SECONDS % 60)) s"
