#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tellwick (optionally on a book: run.sh BOOK).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/scripts/deps.sh" "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$ROOT/build/app/tellwick" "$@"
