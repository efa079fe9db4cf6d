#!/usr/bin/env bash
# Tries the committed tree as a new user would on a bare Debian machine: a
# minimal root of SUITE (debootstrap --variant=minbase), the tree cloned into
# it, and `.ci/run` run there as root. Then reports the test summary, the
# AppStream and lintian verdicts on what was built, and cleans up.
# The pristine root is kept as a tarball under $LEXIVORN_DEBIAN_CACHE and
# unpacked afresh for every run; nothing is installed on this machine, and
# the root's mounts live in a private mount namespace.
# usage: test-debian.sh SUITE   (bookworm, trixie, testing)
set -euo pipefail

suite=${1:?usage: test-debian.sh SUITE (bookworm, trixie, testing)}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${LEXIVORN_DEBIAN_CACHE:-/var/cache/lexivorn/test-debian}
top=$(cd "$(dirname "$0")/.." && pwd)

if [[ $(id -u) -ne 0 ]]; then
    exec sudo --preserve-env=DEBIAN_MIRROR,LEXIVORN_DEBIAN_CACHE bash "$0" "$@"
fi
command -v debootstrap >/dev/null || {
    echo "test-debian.sh: debootstrap is missing (bash scripts/install-deps.sh debian)" >&2
    exit 1
}
if [[ -n $(git -C "$top" status --porcelain --untracked-files=no) ]]; then
    echo "test-debian.sh: note: uncommitted changes are not part of the run" >&2
fi

mkdir -p "$cache"
pristine=$cache/$suite-minbase.tar
if [[ ! -f $pristine ]]; then
    echo "Bootstrapping a minimal $suite root (once; kept in $pristine)"
    fresh=$(mktemp -d "$cache/.bootstrap.XXXXXX")
    if ! debootstrap --variant=minbase "$suite" "$fresh/root" "$mirror" >"$fresh/log" 2>&1; then
        tail -n 20 "$fresh/log" >&2
        rm -rf --one-file-system "$fresh"
        echo "test-debian.sh: debootstrap $suite failed" >&2
        exit 1
    fi
    tar -C "$fresh/root" --numeric-owner -cf "$fresh/root.tar" .
    mv "$fresh/root.tar" "$pristine"
    rm -rf --one-file-system "$fresh"
fi

work=$(mktemp -d "/var/tmp/lexivorn-$suite.XXXXXX")
trap 'rm -rf --one-file-system "$work"' EXIT
root=$work/root
mkdir "$root"
tar -C "$root" --numeric-owner -xpf "$pristine"
git clone -q --no-hardlinks "$top" "$root/root/lexivorn"
commit=$(git -C "$root/root/lexivorn" rev-parse --short HEAD)
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# Packages must not start their services on this machine.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
# A mirror kept as a snapshot serves testing's Release file past its
# Valid-Until date (testing's is a week); apt would refuse it and install
# nothing. The root is thrown away after the run.
printf 'Acquire::Check-Valid-Until "false";\n' >"$root/etc/apt/apt.conf.d/99lexivorn-snapshot"

log=$cache/$suite-last.log
echo "Running .ci/run on $suite at $commit (log: $log)"
start=$(date +%s)
status=0
# In a mount and PID namespace of its own, so that every mount and process
# of the run ends with it.
unshare --mount --pid --fork --propagation private bash -s "$root" "$cache/$suite-failed" \
    >"$log" 2>&1 <<'EOF' || status=$?
set -euo pipefail
root=$1
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}
ci=0
# Each line stamped with the time, to see how long each step took.
in_root bash -c 'cd /root/lexivorn && bash .ci/run 2>&1 |
    while IFS= read -r line; do printf "%(%T)T %s\n" -1 "$line"; done
    exit "${PIPESTATUS[0]}"' || ci=$?
echo "== .ci/run ended with status $ci"
# What a failed test left (the end-to-end pictures and logs, CTest's log)
# outlives the root.
kept=$2
rm -rf "$kept"
if ((ci)) && [[ -d $root/root/lexivorn/build ]]; then
    mkdir -p "$kept"
    cp -r "$root/root/lexivorn/build/e2e" "$root/root/lexivorn/build/Testing" "$kept/" 2>/dev/null || true
    echo "== kept in $kept: the end-to-end pictures and logs, CTest's log"
fi
echo "== report"
in_root bash -c '
    cd /root/lexivorn/build || exit 0
    . /etc/os-release; echo "release: $PRETTY_NAME"
    echo "appstreamcli: $(appstreamcli --version 2>&1 | head -n 1)"
    appstreamcli validate --no-net --strict resources/*.metainfo.xml && echo "appstreamcli validate --strict: passed"
    echo "lexivorn --version under LANG=C, standard error: [$(env -u LC_ALL LANG=C bin/lexivorn --version 2>&1 >/dev/null)]"
    cpack -G DEB -B /tmp/package >/dev/null && lintian /tmp/package/*.deb; echo "lintian: status $?, $(lintian /tmp/package/*.deb 2>&1 | grep -c "^E:") errors"
' || true
exit "$ci"
EOF
minutes=$((($(date +%s) - start + 59) / 60))

echo "---- $suite at $commit: .ci/run status $status, about $minutes min"
grep -E '^== |tests passed|tests failed|Total Test time|\(Failed\)|\(Timeout\)|\*\*\*|^release:|^appstreamcli|^lexivorn --version|^lintian|^[EW]: ' "$log" || true
exit "$status"
