#!/bin/sh
# Usage: fuzz/run.sh BUILD_DIR SECONDS
# Fuzzes every target in turn, sharing SECONDS between them, each from a scratch copy of its
# seed corpus so the repository's corpora do not grow; exits non-zero when a fuzzer finds a
# crash. Crash inputs are kept in the scratch dirs.
set -u

# Each target with its seed corpus folder in fuzz/; a new target is one more entry.
TARGETS="fuzz_book:corpus fuzz_profile:corpus_profile fuzz_requests:corpus_requests
         fuzz_addresstext:corpus_addresstext fuzz_tree:corpus_tree fuzz_import:corpus_import
         fuzz_roundtrip:corpus_roundtrip"

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

count=0
for entry in $TARGETS; do
    target="$build/fuzz/${entry%%:*}"
    if [ ! -x "$target" ]; then
        echo "$target not found; build the fuzz targets first" >&2
        exit 2
    fi
    count=$((count + 1))
done
share=$((seconds / count))
[ "$share" -ge 1 ] || share=1

# fuzz NAME CORPUS: fuzzes one target for its share; non-zero on a crash.
fuzz() {
    name=$1
    work=$(mktemp -d "${TMPDIR:-/tmp}/$name.XXXXXX")
    mkdir "$work/corpus" "$work/artifacts"
    cp "$here/$2"/* "$work/corpus/"
    "$build/fuzz/$name" -max_total_time="$share" -max_len=4096 -rss_limit_mb=2048 \
        -artifact_prefix="$work/artifacts/" "$work/corpus"
    status=$?
    if [ $status -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
        echo "$name failed (exit $status); inputs kept in $work/artifacts" >&2
        return 1
    fi
    rm -rf "$work"
    echo "$name: no crash in $share s"
}

failed=0
for entry in $TARGETS; do
    fuzz "${entry%%:*}" "${entry#*:}" || failed=1
done
exit $failed
