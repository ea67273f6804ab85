#!/usr/bin/env bash
# Checks the helpers of scripts/common.sh that run.sh and package.sh use when started through
# sudo, with "nobody" standing in for the user who called sudo. Needs root (exit 77 skips).
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

if [ "$EUID" -ne 0 ] || ! command -v runuser >/dev/null || ! id nobody >/dev/null 2>&1; then
    echo "skipped: needs root, runuser and the user nobody"
    exit 77
fi

failures=0
expect() { # WHAT EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# Whose work it is: only root started by sudo on behalf of another user hands it on.
expect "sudo from nobody" nobody "$(SUDO_USER=nobody invoking_user)"
expect "sudo from root" "" "$(SUDO_USER=root invoking_user)"
expect "root without sudo" "" "$(unset SUDO_USER; invoking_user)"
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
expect "not root" "" "$(SUDO_USER=someone "${as_nobody[@]}" bash -c \
    "source '$ROOT/scripts/common.sh'; invoking_user")"

# The user's identity and home; the display stays, root's runtime folder does not.
home=$(getent passwd nobody | cut -d: -f6)
expect "user" nobody "$(as_user nobody id -un)"
expect "home" "$home" "$(HOME=/root as_user nobody printenv HOME)"
expect "display" ":7" "$(DISPLAY=:7 as_user nobody printenv DISPLAY)"
expect "wayland" "wayland-1" "$(WAYLAND_DISPLAY=wayland-1 as_user nobody printenv WAYLAND_DISPLAY)"
mkdir "$work/root-runtime"
expect "root's runtime folder" "" \
    "$(XDG_RUNTIME_DIR=$work/root-runtime as_user nobody printenv XDG_RUNTIME_DIR)"
mkdir "$work/own-runtime" && chown nobody "$work/own-runtime"
expect "own runtime folder" "$work/own-runtime" \
    "$(XDG_RUNTIME_DIR=$work/own-runtime as_user nobody printenv XDG_RUNTIME_DIR)"
expect "arguments kept" "a b|c" "$(as_user nobody bash -c 'IFS="|"; echo "$*"' - "a b" c)"

# A checkout of nobody's with a build folder made by root: handed back whole.
checkout=$work/checkout
mkdir -p "$checkout/build/sub" && touch "$checkout/build/sub/file"
chown nobody "$checkout"
give_build_dir_to "$checkout/build" nobody 2>/dev/null
expect "handed back" "nobody nobody nobody" \
    "$(stat -c %U "$checkout/build" "$checkout/build/sub" "$checkout/build/sub/file" | xargs)"
expect "then writable" yes "$(as_user nobody touch "$checkout/build/sub/new" && echo yes)"

# No build folder yet, in a folder the user cannot write: said at once.
mkdir "$work/roots"
message=$(give_build_dir_to "$work/roots/build" nobody 2>&1)
expect "refused" "1" "$?"
expect "says why" yes "$([[ $message == *"cannot create"* ]] && echo yes)"

[ "$failures" -eq 0 ] && echo "all passed"
exit $((failures > 0))
