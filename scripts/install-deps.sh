#!/usr/bin/env bash
# Installs the Debian packages Lexivorn needs to build, test and benchmark.
# Does nothing when everything is already there; otherwise runs apt-get
# non-interactively, as root or through sudo.
set -euo pipefail

packages=(
    # build
    g++ cmake ninja-build pkg-config qt6-base-dev libicu-dev clang-format
    # fonts standing in for Arial
    fonts-liberation
    # tests that drive the real program on a virtual display
    xvfb xauth openbox xdotool x11-utils wmctrl imagemagick python3
    # checks on what `make install` places
    desktop-file-utils appstream librsvg2-bin
    # locales for the collation tests and benchmarks
    locales
    # benchmarks and fuzzing
    hyperfine clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [[ $(id -u) -eq 0 ]]; then
        sudo=()
    elif command -v sudo >/dev/null; then
        sudo=(sudo)
    else
        echo "error: need root or sudo to install: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Locales the collation tests and benchmarks use.
want_locales=(en_US.UTF-8 de_DE.UTF-8 sv_SE.UTF-8 da_DK.UTF-8 cs_CZ.UTF-8 th_TH.UTF-8)
need_gen=0
for l in "${want_locales[@]}"; do
    norm=$(echo "${l%%.*}.utf8")
    if ! locale -a 2>/dev/null | grep -qix "$norm"; then need_gen=1; fi
done
if ((need_gen)); then
    if [[ $(id -u) -eq 0 ]]; then sudo=(); else sudo=(sudo); fi
    for l in "${want_locales[@]}"; do
        grep -q "^${l} UTF-8" /etc/locale.gen 2>/dev/null ||
            echo "${l} UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    done
    "${sudo[@]}" locale-gen >/dev/null
fi
