#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and a bounded fuzzing run.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

"$ROOT/scripts/deps.sh" "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLWICK_BENCH=ON
ctest --test-dir "$ROOT/build" --output-on-failure -j 2

# A leak fails the test that made it; lsan.supp holds only the toolkit's own lifetime
# allocations. libFuzzer checks for leaks too, so the fuzz run reads the same file.
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"

build "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTELLWICK_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$ROOT/build-asan" --output-on-failure -j 2

# One window test on a real X server as well: the toolkit talks to the session bus and the
# X server there, which the offscreen runs never do, and their leaks must stay seen.
echo "tst_treepane under Xvfb (xcb), sanitizer build:"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    xvfb-run -a env QT_QPA_PLATFORM=xcb "$ROOT/build-asan/tests/app/tst_treepane"

CC=clang CXX=clang++ build "$ROOT/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLWICK_FUZZ=ON
"$ROOT/fuzz/run.sh" "$ROOT/build-fuzz" "${FUZZ_SECONDS:-90}"
