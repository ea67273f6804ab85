#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tellwick (optionally on a book: run.sh BOOK).
# Started through sudo, only the package step runs as root; the build and the window run as
# the user who called sudo, with that user's settings and recent files.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/scripts/deps.sh" "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
user=$(invoking_user)
if [ -n "$user" ]; then
    give_build_dir_to "$ROOT/build" "$user"
    as_user "$user" "$ROOT/scripts/run.sh" "$@" # the packages are there now: no root needed
    exit
fi
build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: run it as 'xvfb-run -a $0 $*' (apt-get install xvfb)." >&2
    exit 2
fi
exec "$ROOT/build/app/tellwick" "$@"
