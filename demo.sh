#!/usr/bin/env bash
# Builds what is needed (installing missing Debian packages first) and starts
# the demo in build/data, where its models and music live. Arguments go to the
# demo (./demo.sh --windowed).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
ROOT="$(pwd)"
source tools/build-common.sh

ensure_packages
build_release || exit 1
if [ ! -d build/data/models ]; then
    say "build/data/models is missing: the data generator did not produce the demo's files"
    exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    say "no display (DISPLAY is not set): run it on a desktop, or point DISPLAY at an X server"
    exit 1
fi
cd build/data
exec "$ROOT/build/quelm" "$@"
