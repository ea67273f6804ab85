#!/usr/bin/env python3
"""The companion tool against the plain Unix tools that read the same bytes.

    bench/companion.py BUILD_DIR [BOOK]

Without BOOK a book of 1,000,000 addresses in 1,000 groups is written to a temporary folder.
With abook installed, vCard import is measured against its converter too. Each command runs
five times; the median processor time (user + system) and the largest
peak resident memory are printed, with the ratio to its floor (lower is better).
"""

import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

RUNS = 5


def write_book(path):
    with open(path, "wb") as out:
        for group in range(1000):
            out.write(b"GROUP g%d\r\n" % group)
            out.write(b"".join(b"  name%d: a%d@example.jp,b\r\n" % (i, i) for i in range(1000)))
            out.write(b"END GROUP\r\n")


def measure(command):
    """Median processor seconds and peak kilobytes of RUNS runs, output thrown away."""
    times, peaks = [], []
    for _ in range(RUNS):
        with open(os.devnull, "wb") as sink:
            process = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(process.pid, 0)
        if os.waitstatus_to_exitcode(status) not in (0, 1):
            sys.exit(f"{' '.join(command)} failed with status {status}")
        times.append(usage.ru_utime + usage.ru_stime)
        peaks.append(usage.ru_maxrss)
    return statistics.median(times), max(peaks)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    tool = str(Path(sys.argv[1]) / "tools" / "tellwick-book")
    with tempfile.TemporaryDirectory() as folder:
        book = sys.argv[2] if len(sys.argv) == 3 else os.path.join(folder, "book.tlw")
        if len(sys.argv) == 2:
            write_book(book)
        pairs = [
            ("check", [tool, "check", book], ["wc", "-l", book]),
            ("normalize", [tool, "normalize", book], ["cat", book]),
            ("find", [tool, "find", "name5", book], ["grep", "-c", "-F", "name5", book]),
            ("export vCard -o", [tool, "export", "--format", "vcard", book, "-o",
                                  os.path.join(folder, "out.vcf")], ["cat", book]),
            ("export CSV -o", [tool, "export", "--format", "csv", book, "-o",
                               os.path.join(folder, "out.csv")],
             ["cat", book]),
        ]
        if shutil.which("abook"):
            # The same contacts read by another address book's own converter.
            cards = os.path.join(folder, "cards.vcf")
            subprocess.run([tool, "export", "--format", "vcard", book, "-o", cards], check=True)
            pairs.append(("import vCard (floor: abook)",
                          [tool, "import", "--format", "vcard", cards, "-o",
                           os.path.join(folder, "imported.tlw")],
                          ["abook", "--convert", "--informat", "vcard", "--infile", cards,
                           "--outformat", "abook", "--outfile", os.path.join(folder, "ab.out")]))
        size_mb = os.path.getsize(book) / 1e6
        print(f"book: {size_mb:.1f} MB; medians of {RUNS}, processor time")
        print(f"{'command':27} {'ms':>9} {'floor ms':>9} {'ratio':>7} {'peak MB':>9}")
        for name, command, floor in pairs:
            seconds, peak = measure(command)
            floor_seconds, _ = measure(floor)
            ratio = seconds / max(floor_seconds, 1e-4)
            print(f"{name:27} {seconds * 1e3:9.1f} {floor_seconds * 1e3:9.1f} {ratio:7.1f} "
                  f"{peak / 1024:9.1f}")


if __name__ == "__main__":
    main()
