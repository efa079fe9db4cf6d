#!/usr/bin/env bash
# Installs the Debian packages one make command needs, and nothing more.
# usage: bash scripts/install-deps.sh GROUP...
#   build    compiler, CMake, Ninja, Qt, ICU and the fonts: build and run
#   test     build, plus the test tools; generates the locales below
#   bench    build, plus hyperfine and valgrind; generates the locales below
#   fuzz     build, plus clang and its fuzzer runtime
#   package  build, plus the Debian packaging tools
#   desktops test, plus the window managers of other desktops (icewm, mutter,
#            KWin), for `make test-desktops`
#   debian   debootstrap alone, for `make test-debian` (give it on its own)
# Does nothing when everything is already there; otherwise runs apt-get
# non-interactively, as root or through sudo.
set -euo pipefail

build=(
    g++ cmake ninja-build pkg-config qt6-base-dev libicu-dev
    # the window states X11 taskbars read
    libxcb1-dev
    # fonts standing in for Arial
    fonts-liberation
)
# Unversioned, so that each release's default clang gets its own runtime.
fuzz=(clang libclang-rt-dev)
package=(dpkg-dev file)
test=(
    clang-format
    # tests that drive the real program on a virtual display, under the
    # window managers of LXQt and XFCE (xfwm4 wants a session bus)
    xvfb xauth openbox xfwm4 dbus-daemon xdotool x11-utils wmctrl imagemagick python3
    # the desktop's own file dialog, GTK's, through Qt's GTK platform theme
    qt6-gtk-platformtheme
    # checks on what `make install` and `make package` place
    desktop-file-utils appstream
    # which program a desktop opens text files with, after installing
    xdg-utils libglib2.0-bin
    # the fuzz run of the suite and the package check
    "${fuzz[@]}" "${package[@]}" lintian
    locales
)
# valgrind's callgrind counts the instructions of the short-list runs
bench=(hyperfine valgrind python3 locales)
desktops=(icewm mutter kwin-x11)
debian=(debootstrap)

(($#)) || set -- build
packages=("${build[@]}")
gen_locales=0
for group in "$@"; do
    case $group in
        build) ;;
        test) packages+=("${test[@]}") gen_locales=1 ;;
        desktops) packages+=("${test[@]}" "${desktops[@]}") gen_locales=1 ;;
        bench) packages+=("${bench[@]}") gen_locales=1 ;;
        fuzz) packages+=("${fuzz[@]}") ;;
        package) packages+=("${package[@]}") ;;
        debian) packages=("${debian[@]}") ;;
        *)
            echo "install-deps.sh: unknown group '$group' (build, test, desktops, bench, fuzz, package, debian)" >&2
            exit 2
            ;;
    esac
done

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
    "${sudo[@]}" apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

((gen_locales)) || exit 0

# Locales the collation tests and benchmarks use.
want_locales=(en_US.UTF-8 de_DE.UTF-8 sv_SE.UTF-8 da_DK.UTF-8 cs_CZ.UTF-8 th_TH.UTF-8
    fr_CA.UTF-8 ar_SA.UTF-8 vi_VN.UTF-8)
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
