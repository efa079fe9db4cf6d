#!/bin/sh
# The first command on a bare Debian machine, before make is there:
#   sh make.sh run     builds Lexivorn and starts it
#   sh make.sh test    builds everything and runs every test
# Installs make and bash when they are missing, then hands the command line
# to make, which installs the rest (scripts/install-deps.sh).
set -eu
cd "$(dirname "$0")"

missing=
for tool in make bash; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if [ "$(id -u)" -eq 0 ]; then
        sudo=
    elif command -v sudo >/dev/null 2>&1; then
        sudo=sudo
    else
        echo "error: need root or sudo to install:$missing" >&2
        exit 1
    fi
    # shellcheck disable=SC2086 # $sudo and $missing are word lists.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends -o DPkg::Lock::Timeout=600 $missing
fi

exec make "$@"
