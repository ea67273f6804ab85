#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tellwick (optionally on a book: run.sh BOOK).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/scripts/deps.sh" "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: run it as 'xvfb-run -a $0 $*' (apt-get install xvfb)." >&2
    exit 2
fi
exec "$ROOT/build/app/tellwick" "$@"
