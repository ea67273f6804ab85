# Shared by run.sh and test.sh: package lists and an incremental configure-and-build step.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev libgl-dev libx11-dev)
RUN_PACKAGES=(fonts-noto-cjk fonts-dejavu-core qt6-translations-l10n)
TEST_PACKAGES=(libbenchmark-dev clang libclang-rt-14-dev poppler-utils fonts-noto-cjk
               fonts-dejavu-core)

# build DIR [cmake args...]: configures (a no-op when nothing changed), then lets Ninja
# rebuild only what changed.
build() {
    local dir=$1
    shift
    cmake -G Ninja -S "$ROOT" -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
