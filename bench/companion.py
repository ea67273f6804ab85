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


def measure(command, output=None):
    """Median processor seconds and peak kilobytes of RUNS runs, output thrown away.

    A command that writes the file output starts each run without it, so every run writes
    it anew: abook refuses to overwrite its outfile and would otherwise measure no writing
    after the first run. Any exit status but 0 fails the benchmark."""
    times, peaks = [], []
    for _ in range(RUNS):
        if output and os.path.exists(output):
            os.remove(output)
        with open(os.devnull, "wb") as sink:
            process = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(process.pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
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
        # name, command, the file it writes, floor, the file the floor writes
        pairs = [
            ("check", [tool, "check", book], None, ["wc", "-l", book], None),
            ("normalize", [tool, "normalize", book], None, ["cat", book], None),
            ("find", [tool, "find", "name5", book], None, ["grep", "-c", "-F", "name5", book],
             None),
        ]
        for name, kind, output in (("export vCard -o", "vcard", "out.vcf"),
                                   ("export CSV -o", "csv", "out.csv")):
            output = os.path.join(folder, output)
            pairs.append((name, [tool, "export", "--format", kind, book, "-o", output], output,
                          ["cat", book], None))
        if shutil.which("abook"):
            # The same contacts read by another address book's own converter.
            cards = os.path.join(folder, "cards.vcf")
            subprocess.run([tool, "export", "--format", "vcard", book, "-o", cards], check=True)
            imported = os.path.join(folder, "imported.tlw")
            converted = os.path.join(folder, "ab.out")
            pairs.append(("import vCard (floor: abook)",
                          [tool, "import", "--format", "vcard", cards, "-o", imported], imported,
                          ["abook", "--convert", "--informat", "vcard", "--infile", cards,
                           "--outformat", "abook", "--outfile", converted], converted))
        size_mb = os.path.getsize(book) / 1e6
        print(f"book: {size_mb:.1f} MB; medians of {RUNS}, processor time")
        print(f"{'command':27} {'ms':>9} {'floor ms':>9} {'ratio':>7} {'peak MB':>9}")
        for name, command, output, floor, floor_output in pairs:
            seconds, peak = measure(command, output)
            floor_seconds, _ = measure(floor, floor_output)
            ratio = seconds / max(floor_seconds, 1e-4)
            print(f"{name:27} {seconds * 1e3:9.1f} {floor_seconds * 1e3:9.1f} {ratio:7.1f} "
                  f"{peak / 1024:9.1f}")


if __name__ == "__main__":
    main()
