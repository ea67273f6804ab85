# Shared by run.sh and test.sh: package lists and an incremental configure-and-build step.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev libgl-dev libx11-dev)
# fcitx5-frontend-qt6: Japanese input in the window under fcitx5.
RUN_PACKAGES=(fonts-noto-cjk fonts-dejavu-core qt6-translations-l10n fcitx5-frontend-qt6)
# The install test validates the desktop entry, the MIME definition and the manual pages.
TEST_PACKAGES=(libbenchmark-dev clang libclang-rt-14-dev poppler-utils fonts-noto-cjk
               fonts-dejavu-core desktop-file-utils libxml2-utils shared-mime-info groff-base
               xvfb xauth qt6-qpa-plugins)
# dpkg-shlibdeps (dpkg-dev) and file compute the package's dependencies.
PACKAGE_PACKAGES=(dpkg-dev file)

# build DIR [cmake args...]: configures (a no-op when nothing changed), then lets Ninja
# rebuild only what changed.
build() {
    local dir=$1
    shift
    cmake -G Ninja -S "$ROOT" -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

# The user who started this script through sudo, when it runs as root that way; empty when
# it runs as the user it should.
invoking_user() {
    if [ "$EUID" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
        echo "$SUDO_USER"
    fi
}

# as_user USER COMMAND...: runs COMMAND as USER with USER's home. The display variables
# (DISPLAY, XAUTHORITY, WAYLAND_DISPLAY) stay; XDG_RUNTIME_DIR, which Wayland and the input
# method's session bus live in, becomes USER's own when it was root's or unset.
as_user() {
    local user=$1 runtime
    shift
    runtime=/run/user/$(id -u "$user")
    local environment=(-u XDG_RUNTIME_DIR)
    if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ "$(stat -c %U "$XDG_RUNTIME_DIR" 2>/dev/null)" = "$user" ]; then
        environment=("XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR")
    elif [ -d "$runtime" ]; then
        environment=("XDG_RUNTIME_DIR=$runtime")
    fi
    runuser -u "$user" -- env "${environment[@]}" "$@"
}

# give_build_dir_to DIR USER: a build folder that an earlier run as root left behind goes back
# to USER, who builds in it from now on. Fails with a message when USER could not build there.
give_build_dir_to() {
    local dir=$1 user=$2
    if [ -e "$dir" ]; then
        if [ -n "$(find "$dir" ! -user "$user" -print -quit)" ]; then
            echo "Giving $dir back to $user (parts of it belonged to another user)." >&2
            chown -R "$user": "$dir"
        fi
    elif ! runuser -u "$user" -- test -w "$(dirname "$dir")"; then
        echo "$user cannot create $dir: make $(dirname "$dir") writable for $user." >&2
        return 1
    fi
}
