#!/usr/bin/env bash
# Installs what is missing and builds the Debian package (Release, installed under /usr)
# into a folder: package.sh [OUTDIR], by default the current folder. Prints the file made.
# Started through sudo, only the package step runs as root.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

out=$(realpath -m "${1:-.}")
"$ROOT/scripts/deps.sh" "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
user=$(invoking_user)
if [ -n "$user" ]; then
    give_build_dir_to "$ROOT/build-package" "$user"
    as_user "$user" "$ROOT/scripts/package.sh" "$out"
    exit
fi

dir=$ROOT/build-package
# Only the two programs go into the package: the tests are not built for it.
cmake -G Ninja -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target tellwick tellwick-book
rm -rf "$dir/cpack"
cpack --config "$dir/CPackConfig.cmake" -G DEB -B "$dir/cpack" >/dev/null
mkdir -p "$out"
for deb in "$dir"/cpack/*.deb; do
    mv "$deb" "$out/"
    echo "$out/$(basename "$deb")"
done
