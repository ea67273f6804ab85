#!/bin/sh
# Usage: fuzz/run.sh BUILD_DIR SECONDS
# Fuzzes fuzz_book from a scratch copy of the seed corpus, so the repository's corpus does not
# grow; exits non-zero when the fuzzer finds a crash. Crash inputs are kept in the scratch dir.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
target="$build/fuzz/fuzz_book"
if [ ! -x "$target" ]; then
    echo "$target not found; build the fuzz_book target first" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz_book.XXXXXX")
mkdir "$work/corpus" "$work/artifacts"
cp "$here"/corpus/* "$work/corpus/"

"$target" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" "$work/corpus"
status=$?

if [ $status -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
    echo "fuzz_book failed (exit $status); inputs kept in $work/artifacts" >&2
    exit 1
fi
rm -rf "$work"
echo "fuzz_book: no crash in $seconds s"
