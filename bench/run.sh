#!/bin/sh
# Usage: bench/run.sh BUILD_DIR [extra benchmark flags]
# Runs bench_book with five repetitions and prints the median throughput of each benchmark
# and how many times slower than its floor the book reader and writer are (lower is better).
# --window-memory among the flags takes the book's memory as the window does (huge pages).
set -eu
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [benchmark flags]" >&2
    exit 2
fi
build=$1
shift
target="$build/bench/bench_book"
if [ ! -x "$target" ]; then
    echo "$target not found; build the bench_book target first" >&2
    exit 2
fi

json=$(mktemp "${TMPDIR:-/tmp}/bench_book.XXXXXX.json")
trap 'rm -f "$json"' EXIT
"$target" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_out="$json" --benchmark_out_format=json "$@"

python3 - "$json" <<'PY'
import json
import sys

with open(sys.argv[1]) as f:
    runs = json.load(f)["benchmarks"]
medians = {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}
if not medians:
    sys.exit("no median results in the benchmark output")


def mbps(name):
    return medians[name]["bytes_per_second"] / 1e6 if name in medians else None


print()
print(f"{'median of 5':34} {'MB/s':>10} {'time':>12}")
for name, r in medians.items():
    rate = mbps(name)
    print(f"{name:34} {rate:10.1f} {r['cpu_time']:9.2f} {r['time_unit']}")

print()
ratios = [
    ("read / floor (64 KiB chunks)", "BM_ReadBook", "BM_Floor_ReadAndCountLines", 6),
    ("read / floor (whole buffer)", "BM_ReadBook", "BM_Floor_ReadAllAndCountLines", 6),
    ("read+free / floor (64 KiB)", "BM_ReadBookAndFree", "BM_Floor_ReadAndCountLines", None),
    ("file read / file floor (64 KiB)", "BM_ReadBookFromFile", "BM_FileFloor_ReadAndCountLines", 6),
    ("file read / file floor (whole)", "BM_ReadBookFromFile", "BM_FileFloor_ReadAllAndCountLines",
     6),
    ("write / floor (memory)", "BM_WriteBook", "BM_WriteFloor", 3),
    ("file write / file write floor", "BM_WriteBookToFile", "BM_FileWriteFloor", 3),
]
for label, book, floor, target in ratios:
    if mbps(book) is None or mbps(floor) is None:
        continue
    ratio = mbps(floor) / mbps(book)
    verdict = "" if target is None else ("  ok" if ratio <= target else f"  over {target}x")
    print(f"{label:34} {ratio:6.2f}x{verdict}")

alt = medians.get("BM_ReadAlternatingEndGroup")
if alt:
    ms = alt["cpu_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[alt["time_unit"]]
    verdict = "ok" if ms < 1000 else "too slow"
    print(f"{'200k x / END GROUP pairs':34} {ms:6.1f} ms  {verdict}")
PY
