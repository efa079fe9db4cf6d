#!/usr/bin/env bash
# Builds the list-file fuzz target with clang and runs it for a bounded time.
# usage: FUZZ_SECONDS=60 bash scripts/fuzz.sh [--build-only | --run-only]
# The build goes to build-fuzz (FUZZ_BUILD overrides it). Prints how many
# inputs ran; fails when the target finds a crash or a mismatch, leaving the
# input under build-fuzz/artifacts/.
# --build-only builds the target and runs nothing. --run-only builds nothing:
# it runs the target as last built, and skips (exit 77) when there is none or
# the sources have changed since, rather than fuzz old code.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
max_len=${FUZZ_MAX_LEN:-4096}
mode=${1:-}
target=lexivorn_fuzz_listfile

case $mode in
'' | --build-only | --run-only) ;;
*)
    echo "usage: bash scripts/fuzz.sh [--build-only | --run-only]" >&2
    exit 2
    ;;
esac

if [[ $mode == --run-only ]]; then
    if [[ ! -x $build/bin/$target || ! -f $build/build.ninja ]]; then
        echo "fuzz.sh: $target is not built in $build; make test builds it" \
            "(or: FUZZ_BUILD=$build bash scripts/fuzz.sh --build-only)" >&2
        exit 77
    fi
    plan=$(ninja -C "$build" -n "$target")
    if [[ $plan != *"ninja: no work to do"* ]]; then
        echo "fuzz.sh: $target in $build is older than its sources; make test rebuilds it" \
            "(or: FUZZ_BUILD=$build bash scripts/fuzz.sh --build-only)" >&2
        exit 77
    fi
else
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DLEXIVORN_BUILD_FUZZ=ON -DLEXIVORN_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target "$target" -j2
    [[ $mode == --build-only ]] && exit 0
fi

# Seed inputs: the line rules' corners, small enough to mutate quickly.
seeds=$build/fuzz-seeds
corpus=$build/fuzz-corpus
artifacts=$build/artifacts
mkdir -p "$seeds" "$corpus" "$artifacts"
seed() { printf "$2" >"$seeds/$1"; }
seed empty ''
seed crlf 'b\r\na\r\n'
seed cr-no-final 'b\ra'
seed lone-lf 'x\ny'
seed trailing-spaces 'word   \r\n  two leading\r\n    \r\n'
seed blank-lines '\r\n\r\n\r\r\n'
seed mixed-case 'Banana\r\napple\r\nApple\r\nAPPLE\r\n zebra\r\napp\r\n'
seed accents 'eb\r\n\xc3\xa9a\r\nEclairs\r\n\xc3\x89clair\r\nf\r\n\xc3\xa5\r\nz\r\n'
seed latin1 'caf\xe9\r\ncafe\r\nCAF\xc9\r\n\x80\x81\x8d\r\n'
seed hostile 'a\x00b\r\na\r\na\x01\r\na\xc2\xad\r\na\xe2\x80\x8b\r\n\x1a\r\n\t\r\n'
seed utf8-bom '\xef\xbb\xbfzeta\r\nalpha\r\n'
seed bom-line 'zeta\r\n\xef\xbb\xbf\r\nalpha\r\n'
seed utf16le '\xff\xfea\x00\r\x00\n\x00'
seed invalid-utf8 '\xc0\xaf\r\n\xed\xa0\x80\r\n\xf4\x90\x80\x80\r\n\xc3\r\n'
seed punctuation 'a-b\r\na b\r\nab\r\na.b\r\n1a\r\n10\r\n9\r\n'

# Each input is written, saved and read back: keep those files in memory.
scratch=/dev/shm
[[ -d $scratch && -w $scratch ]] || scratch=${TMPDIR:-/tmp}
tmp=$(mktemp -d "$scratch/lexivorn-fuzz.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

echo "Fuzzing $target for ${seconds}s (max_len $max_len)"
status=0
TMPDIR=$tmp "$build/bin/$target" \
    -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 \
    -dict="$root/fuzz/listfile.dict" -artifact_prefix="$artifacts/" \
    -print_final_stats=1 "$corpus" "$seeds" "$root/fuzz/regressions" \
    2>"$tmp/log" || status=$?

grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+ +DONE' "$tmp/log" || true
if ((status != 0)); then
    tail -n 60 "$tmp/log" >&2
    echo "fuzz.sh: the target failed (exit $status); inputs kept in $artifacts" >&2
    exit "$status"
fi
echo "No crash or mismatch found."
