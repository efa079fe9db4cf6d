#!/usr/bin/env bash
# Installs the build into a private DESTDIR with prefix /usr and checks that
# the program, its desktop entry, metainfo, manual page, icons and Debian
# documents land where Linux desktops, man and dpkg look for them; that the
# installed files pass the validators and state one version; and that the
# installed program answers --help, --version and a wrong option with no
# display.
# With --package it also builds the Debian package and checks its control
# fields, that it holds exactly the installed files, lintian's verdict where
# lintian is there, and, unpacked, everything above again.
# Usage: check_install.sh [--package] CMAKE BUILD_DIR DESKTOP_ID VERSION PROGRAM_FILE
set -euo pipefail

package=
if [[ ${1:-} == --package ]]; then
    package=yes
    shift
fi
cmake=$1 build=$2 id=$3 version=$4 program=${5:-}

if [[ -z $program || ! -x $program ]]; then
    echo "SKIP: the lexivorn program has not been built in $build" >&2
    exit 77
fi
if [[ $package ]]; then
    for tool in dpkg-deb dpkg-shlibdeps file; do
        if ! command -v $tool >/dev/null; then
            echo "SKIP: $tool is missing (bash scripts/install-deps.sh package)" >&2
            exit 77
        fi
    done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage

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

# The program answers these before it loads a platform plugin: with xcb
# asked for and no display, loading one would abort the program. Under the C
# locale, as on a bare system, they say nothing more than asked.
check_program() {
    local program=$1 out status
    local run=(env -u DISPLAY -u WAYLAND_DISPLAY -u LANG LC_ALL=C QT_QPA_PLATFORM=xcb "$program")
    status=0
    out=$("${run[@]}" --help 2>&1) || status=$?
    # The program is run by its full path; the usage names it alone.
    ((status == 0)) && grep -q "^Usage: ${program##*/} \[options\] \[FILE\.\.\.\]$" <<<"$out" ||
        fail "$program --help with no display: status $status: $out"
    status=0
    out=$("${run[@]}" --version 2>&1) || status=$?
    ((status == 0)) && [[ $out == "Lexivorn $version" ]] ||
        fail "$program --version with no display: status $status: $out"
    status=0
    "${run[@]}" --no-such-option >"$work/out" 2>"$work/err" || status=$?
    ((status == 2)) && [[ ! -s $work/out ]] && grep -q '^Usage: ' "$work/err" ||
        fail "$program --no-such-option: status $status, not 2 with the usage on stderr: $(cat "$work/out" "$work/err")"
}

# Installing Lexivorn must not make it the program that opens text files:
# in a private XDG tree holding a text editor whose desktop file sorts after
# Lexivorn's, and no mimeapps.list, both xdg-mime and gio still give the
# editor. A person who chooses Lexivorn with xdg-mime, as the README says,
# gets it.
check_default_application() {
    local usr=$1 tree=$work/xdg tool got
    for tool in xdg-mime gio update-desktop-database; do
        if ! command -v $tool >/dev/null; then
            fail "$tool is missing (bash scripts/install-deps.sh test)"
            return
        fi
    done
    rm -rf "$tree"
    mkdir -p "$tree/data/applications" "$tree/config" "$tree/home"
    cp "$usr/share/applications/$id.desktop" "$tree/data/applications/"
    printf '[Desktop Entry]\nType=Application\nName=Editor\nExec=true %%F\nMimeType=text/plain;\n' \
        >"$tree/data/applications/zz-editor.desktop"
    update-desktop-database "$tree/data/applications"
    # Desktops offer only programs whose Exec is on the PATH.
    local xdg=(env -i LC_ALL=C.UTF-8 PATH="$usr/bin:/usr/bin:/bin" HOME="$tree/home"
        XDG_DATA_HOME="$tree/home" XDG_DATA_DIRS="$tree/data" XDG_CONFIG_HOME="$tree/config"
        XDG_CONFIG_DIRS="$tree/config" GIO_USE_VFS=local)

    got=$(default_for_text)
    [[ $got == "xdg-mime zz-editor.desktop, gio zz-editor.desktop" ]] ||
        fail "installing Lexivorn took text files from the editor: $got"
    "${xdg[@]}" xdg-mime default "$id.desktop" text/plain
    got=$(default_for_text)
    [[ $got == "xdg-mime $id.desktop, gio $id.desktop" ]] ||
        fail "xdg-mime default did not make Lexivorn the default for text files: $got"
}

# The program that opens text files, by xdg-mime's and gio's answers, in the
# tree that $xdg sets up.
default_for_text() {
    local gio
    gio=$("${xdg[@]}" gio mime text/plain 2>&1 | head -n 1)
    [[ $gio == *": "*.desktop ]] && gio=${gio##*: } || gio="none ($gio)"
    echo "xdg-mime $("${xdg[@]}" xdg-mime query default text/plain 2>&1), gio $gio"
}

# A file under the $usr of the check_tree that calls it.
expect_file() {
    [[ -f $usr/$1 && -s $usr/$1 ]] || fail "not installed: /usr/$1"
}

# Checks the installed tree under $1/usr.
check_tree() {
    local usr=$1/usr out

    [[ -x $usr/bin/lexivorn ]] || fail "not installed or not executable: /usr/bin/lexivorn"
    [[ -x $usr/bin/lexivorn ]] && check_program "$usr/bin/lexivorn"
    expect_file "share/applications/$id.desktop"
    expect_file "share/metainfo/$id.metainfo.xml"
    expect_file "share/man/man1/lexivorn.1.gz"
    expect_file "share/doc/lexivorn/copyright"
    expect_file "share/doc/lexivorn/changelog.gz"
    expect_file "share/icons/hicolor/scalable/apps/$id.svg"
    for size in 16 24 32 48 64 128; do
        png=share/icons/hicolor/${size}x${size}/apps/$id.png
        expect_file "$png"
        # Bytes 16 to 23 of a PNG hold its width and height, 4 bytes each.
        if [[ -f $usr/$png ]]; then
            dims=$(od -An -tu1 -j16 -N8 "$usr/$png" | awk '{print $4 + 256 * $3, $8 + 256 * $7}')
            [[ $dims == "$size $size" ]] || fail "$png is $dims, not ${size}x${size}"
        fi
    done

    # Nothing may escape /usr.
    stray=$(find "$1" -mindepth 1 -maxdepth 1 ! -name usr)
    [[ -z $stray ]] || fail "installed outside /usr: $stray"

    local desktop=$usr/share/applications/$id.desktop
    if [[ -f $desktop ]]; then
        out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
        if grep -qE ': (error|warning|hint):' <<<"$out"; then fail "desktop-file-validate: $out"; fi
        grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
        grep -qx "Exec=lexivorn %F" "$desktop" || fail "the desktop entry does not run lexivorn with files"
        check_default_application "$usr"
    fi

    local metainfo=$usr/share/metainfo/$id.metainfo.xml
    if [[ -f $metainfo ]]; then
        # --strict fails on warnings and hints too; only pedantic notes pass.
        out=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
        grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
            fail "the metainfo does not launch $id.desktop"
        # The tree check also reads the desktop entry the metainfo launches.
        out=$(appstreamcli validate-tree --no-net --strict "$usr" 2>&1) || fail "appstreamcli validate-tree: $out"
        grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
        if [[ -f $desktop ]]; then
            local entry_words info_words
            entry_words=$(sed -n 's/^Keywords=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
            info_words=$(sed -n 's:.*<keyword>\(.*\)</keyword>.*:\1:p' "$metainfo" | sort)
            [[ $entry_words == "$info_words" ]] ||
                fail "keywords differ: desktop entry [$(echo $entry_words)], metainfo [$(echo $info_words)]"
        fi
    fi

    local man=$usr/share/man/man1/lexivorn.1.gz
    if [[ -f $man ]] && gzip -t "$man" 2>/dev/null; then
        zcat "$man" | sed 's/\\-/-/g' >"$work/man.txt"
        grep -q "^\.TH LEXIVORN 1 .*\"Lexivorn $version\"" "$work/man.txt" ||
            fail "the manual page does not state version $version"
        # Every option the program lists has its place in the manual.
        for option in $(env -u DISPLAY "$usr/bin/lexivorn" --help | grep -oE -- '--[a-z][a-z-]*'); do
            grep -qF -- "$option" "$work/man.txt" || fail "the manual page lacks $option"
        done
    elif [[ -f $man ]]; then
        fail "the manual page is not gzip data"
    fi
}

check_tree "$stage"

if [[ $package ]]; then
    arch=$(dpkg --print-architecture)
    deb=$work/package/lexivorn_${version}_$arch.deb
    # cpack stands beside cmake; -B keeps its work out of the build folder.
    if ! log=$("$(dirname "$cmake")/cpack" --config "$build/CPackConfig.cmake" -B "$work/package" 2>&1); then
        echo "$log" >&2
        fail "cpack failed"
    elif [[ ! -f $deb ]]; then
        fail "cpack did not make $(basename "$deb"): $(ls "$work/package")"
    else
        for field in "Package lexivorn" "Version $version" "Architecture $arch"; do
            value=$(dpkg-deb -f "$deb" "${field%% *}")
            [[ $value == "${field#* }" ]] || fail "the package's ${field%% *} is '$value', not '${field#* }'"
        done
        # dpkg-shlibdeps found them in the program's libraries.
        depends=$(dpkg-deb -f "$deb" Depends)
        for library in libc6 libicu libqt6core6 libqt6widgets6; do
            grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
        done
        [[ -n $(dpkg-deb -f "$deb" Maintainer) ]] || fail "the package names no maintainer"

        packaged=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's:^\./::; /[^/]$/p' | sort)
        installed=$(cd "$stage" && find . ! -type d | sed 's:^\./::' | sort)
        [[ $packaged == "$installed" ]] ||
            fail "the package and make install differ:"$'\n'"$(diff <(echo "$packaged") <(echo "$installed"))"

        dpkg-deb -x "$deb" "$work/unpacked"
        check_tree "$work/unpacked"

        if command -v lintian >/dev/null; then
            out=$(lintian "$deb" 2>&1) || true
            if grep -q '^E: ' <<<"$out"; then fail "lintian: $out"; fi
        else
            echo "lintian is missing: the package is not linted" >&2
        fi
    fi
fi

if ((failures)); then
    exit 1
fi
echo "install layout under /usr is complete and valid${package:+, and so is the package}"
