#!/bin/sh
# Runs a test with a keyring of its own: a private session bus (dbus-run-session runs this) and a
# Secret Service unlocked with a known password, all under a temporary home.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
eval "$(printf 'corvale-test' | gnome-keyring-daemon --unlock --components=secrets)"
export CORVALE_REAL_KEYRING=1
"$@"
