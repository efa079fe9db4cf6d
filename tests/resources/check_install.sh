#!/usr/bin/env bash
# Installs the build into a private DESTDIR with prefix /usr and checks that
# the program, its desktop entry, its metainfo and its icons land where Linux
# desktops look for them, and that the installed files pass the validators.
# Usage: check_install.sh CMAKE BUILD_DIR DESKTOP_ID PROGRAM_FILE
set -euo pipefail

cmake=$1 build=$2 id=$3 program=${4:-}

if [[ -z $program || ! -x $program ]]; then
    echo "SKIP: the lexivorn program has not been built in $build" >&2
    exit 77
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

if ! log=$(DESTDIR=$stage "$cmake" --install "$build" --prefix /usr 2>&1); then
    echo "$log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
fi

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect_file() {
    [[ -f $stage/usr/$1 && -s $stage/usr/$1 ]] || fail "not installed: /usr/$1"
}

[[ -x $stage/usr/bin/lexivorn ]] || fail "not installed or not executable: /usr/bin/lexivorn"
expect_file "share/applications/$id.desktop"
expect_file "share/metainfo/$id.metainfo.xml"
expect_file "share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 24 32 48 64 128; do
    png=share/icons/hicolor/${size}x${size}/apps/$id.png
    expect_file "$png"
    # Bytes 16 to 23 of a PNG hold its width and height, 4 bytes each.
    if [[ -f $stage/usr/$png ]]; then
        dims=$(od -An -tu1 -j16 -N8 "$stage/usr/$png" | awk '{print $4 + 256 * $3, $8 + 256 * $7}')
        [[ $dims == "$size $size" ]] || fail "$png is $dims, not ${size}x${size}"
    fi
done

# Nothing may escape the staging directory's /usr.
stray=$(find "$stage" -mindepth 1 -maxdepth 1 ! -name usr)
[[ -z $stray ]] || fail "installed outside /usr: $stray"

desktop=$stage/usr/share/applications/$id.desktop
if [[ -f $desktop ]]; then
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
    if grep -qE ': (error|warning|hint):' <<<"$out"; then fail "desktop-file-validate: $out"; fi
    grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
    grep -qx "Exec=lexivorn" "$desktop" || fail "the desktop entry does not run lexivorn"
fi

metainfo=$stage/usr/share/metainfo/$id.metainfo.xml
if [[ -f $metainfo ]]; then
    # --strict fails on warnings and hints too; only pedantic notes pass.
    out=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $id.desktop"
    # The tree check also reads the desktop entry the metainfo launches.
    out=$(appstreamcli validate-tree --no-net --strict "$stage/usr" 2>&1) || fail "appstreamcli validate-tree: $out"
fi

if ((failures)); then
    exit 1
fi
echo "install layout under /usr is complete and valid"
