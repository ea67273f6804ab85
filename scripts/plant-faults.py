#!/usr/bin/env python3
"""Plants faults (mutants) in the sources one at a time and reports those the tests miss.

Each mutant is a one-line change made by a simple operator (see OPERATORS below). For each
one the script rebuilds with Ninja and runs the tests, fastest first, stopping at the first
failure; a mutant that does not compile is counted apart, and a test that hangs past its
timeout twice (the second time alone, with twice the time) counts as catching it. The file is always restored, and the build is brought back
to the unchanged sources before the script exits.

    scripts/plant-faults.py build --seed 1 --count 20 model file
    scripts/plant-faults.py build --list model            # the candidate sites, nothing run
    scripts/plant-faults.py build --only model/EntryTree.cpp:42:17:flip-eq

The same seed always draws the same sites in the same order, so a long run can be split
into chunks with --skip (e.g. --count 20 --skip 20 runs the second twenty).
"""

import argparse
import collections
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_PATHS = ["model", "file", "document", "views", "framework", "app", "exchange", "search",
                 "printing", "storage"]
NICE = ["nice", "-n", "15"]
JOBS = "2"

Site = collections.namedtuple("Site", "path line col op before after")


# ---------------------------------------------------------------------------------------------
# Finding sites

def mask_code(lines):
    """Returns the lines with comments, string and character literals blanked out and
    preprocessor lines emptied, so operators are only looked for in code. Columns are kept."""
    masked = []
    in_block = False
    in_directive = False
    for text in lines:
        if in_directive or (not in_block and text.lstrip().startswith("#")):
            in_directive = text.rstrip().endswith("\\")
            masked.append(" " * len(text))
            continue
        out = []
        i = 0
        while i < len(text):
            c = text[i]
            if in_block:
                if text.startswith("*/", i):
                    in_block = False
                    out.append("  ")
                    i += 2
                else:
                    out.append(" ")
                    i += 1
            elif text.startswith("//", i):
                out.append(" " * (len(text) - i))
                break
            elif text.startswith("/*", i):
                in_block = True
                out.append("  ")
                i += 2
            elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):
                # A literal, blanked with its quotes; ' after a digit is a digit separator.
                raw = c == '"' and re.search(r'\bu?8?R$', text[:i])
                end = literal_end(text, i, raw)
                out.append(" " * (end - i))
                i = end
            else:
                out.append(c)
                i += 1
        masked.append("".join(out))
    return masked


def literal_end(text, start, raw):
    quote = text[start]
    if raw:
        close = text.find('(', start)
        delim = text[start + 1:close]
        end = text.find(")" + delim + '"', close)
        return len(text) if end < 0 else end + len(delim) + 2
    i = start + 1
    while i < len(text):
        if text[i] == "\\":
            i += 2
        elif text[i] == quote:
            return i + 1
        else:
            i += 1
    return len(text)


def spaced(code, col, length):
    """True when the token at col has a blank on each side (how the formatter writes a
    binary operator, unlike template brackets and reference declarators)."""
    return col > 0 and code[col - 1] == " " and code[col + length:col + length + 1] == " "


def binary_swaps(code, table):
    for token, other in table:
        for m in re.finditer(re.escape(token), code):
            if spaced(code, m.start(), len(token)):
                yield m.start(), token, other


RELATIONAL = [("<", "<="), ("<=", "<"), (">", ">="), (">=", ">")]
EQUALITY = [("==", "!="), ("!=", "==")]
LOGICAL = [("&&", "||"), ("||", "&&")]


def op_relational(code):
    for col, token, other in binary_swaps(code, RELATIONAL):
        yield "flip-rel", col, token, other


def op_equality(code):
    for col, token, other in binary_swaps(code, EQUALITY):
        yield "flip-eq", col, token, other


def op_logical(code):
    for col, token, other in binary_swaps(code, LOGICAL):
        yield "flip-logic", col, token, other


def op_drop_not(code):
    for m in re.finditer(r"!(?!=)", code):
        yield "drop-not", m.start(), "!", ""


def op_integer(code):
    for m in re.finditer(r"(?<![\w.'])(\d+)([uUlL]*)(?![\w.'])", code):
        value = int(m.group(1))
        if m.group(1) != "0" and m.group(1).startswith("0"):
            continue  # octal
        changed = 1 if value == 0 else (0 if value == 1 else value + 1)
        yield "int-literal", m.start(), m.group(0), str(changed) + m.group(2)


def op_boolean(code):
    for m in re.finditer(r"\b(true|false)\b", code):
        yield "flip-bool", m.start(), m.group(1), "false" if m.group(1) == "true" else "true"


def op_increment(code):
    for m in re.finditer(r"\+\+|--", code):
        yield "flip-incr", m.start(), m.group(0), "--" if m.group(0) == "++" else "++"


STATEMENT_KEYWORDS = {"return", "break", "continue", "goto", "throw", "delete", "case",
                      "default", "if", "else", "for", "while", "do", "switch", "using",
                      "typedef", "co_return", "co_yield", "static_assert"}
ASSIGNMENT = re.compile(r"^[\w.\->\[\]*()]+ (=|\+=|-=|\*=|/=|\|=|&=|\^=|<<=|>>=) .+;$")
CALL = re.compile(r"^[\w:.\->\[\]()*]*\w\(.*\);$")


def balanced(text):
    depth = 0
    for c in text:
        depth += {"(": 1, ")": -1}.get(c, 0)
        if depth < 0:
            return False
    return depth == 0


def op_remove_statement(code, previous_code):
    """A whole line that is one assignment or one plain call, directly inside a block."""
    stripped = code.strip()
    first_word = re.match(r"\w*", stripped).group(0)
    if first_word in STATEMENT_KEYWORDS or not balanced(stripped):
        return
    if not (ASSIGNMENT.match(stripped) or CALL.match(stripped)):
        return
    # Only after a complete statement or a block opening, so the line is not the body of
    # an if/for without braces, nor the tail of a continued expression.
    if not previous_code.rstrip().endswith(("{", "}", ";", ":")):
        return
    if previous_code.strip() == "default:" or previous_code.rstrip().endswith("::"):
        return
    col = len(code) - len(code.lstrip())
    yield "remove-stmt", col, stripped, ""


def op_negate_return(code, returns_bool):
    if not returns_bool:
        return
    m = re.match(r"^(\s*)return (.+);$", code.rstrip())
    if not m or m.group(2).strip() in ("true", "false"):
        return
    yield "negate-return", len(m.group(1)) + 7, m.group(2), lambda source: "!(" + source + ")"


LINE_OPERATORS = [op_relational, op_equality, op_logical, op_drop_not, op_integer,
                  op_boolean, op_increment]
# Function headers: what follows a bool one, up to the next header, returns a bool.
BOOL_FUNCTION = re.compile(
    r"^(?:\[\[\w+\]\]\s*)?(?:static\s+|inline\s+|constexpr\s+|virtual\s+)*bool\s+[\w:]+\(")
ANY_FUNCTION = re.compile(r"^(?:[\w:<>,*&]+\s+)+[*&]?[\w:~]+\([^=;]*$")
# Lines whose faults a release build would not see (assertions) or that only log.
SKIPPED_LINE = re.compile(r"\b(Q_ASSERT\w*|assert|static_assert|qDebug|qInfo)\s*\(")


def find_sites(path):
    text = path.read_text(encoding="utf-8")
    lines = text.split("\n")
    masked = mask_code(lines)
    rel = str(path.relative_to(ROOT))
    sites = []
    returns_bool = False
    previous_code = "{"
    for number, (source, code) in enumerate(zip(lines, masked), start=1):
        header = code.strip()
        if re.match(r"\w*", header).group(0) not in STATEMENT_KEYWORDS:
            if BOOL_FUNCTION.match(header):
                returns_bool = True
            elif ANY_FUNCTION.match(header):
                returns_bool = False
        if code.strip() and not SKIPPED_LINE.search(code):
            found = [s for op in LINE_OPERATORS for s in op(code)]
            found += list(op_remove_statement(code, previous_code))
            found += list(op_negate_return(code, returns_bool))
            for op, col, token, replacement in found:
                original = source[col:col + len(token)]
                if callable(replacement):
                    replacement = replacement(original)
                after = source[:col] + replacement + source[col + len(token):]
                sites.append(Site(rel, number, col + 1, op, source, after))
        if code.strip():
            previous_code = code
    return sites


def collect_sites(paths):
    sites = []
    for name in paths:
        base = (ROOT / name).resolve()
        files = [base] if base.is_file() else sorted(base.rglob("*.cpp"))
        for path in files:
            sites += find_sites(path)
    return sites


def site_id(site):
    return f"{site.path}:{site.line}:{site.col}:{site.op}"


# ---------------------------------------------------------------------------------------------
# Building and testing

def run(command, timeout=None, cwd=None):
    return subprocess.run(NICE + command, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, errors="replace",
                          timeout=timeout)


def build(build_dir):
    return run(["ninja", "-C", str(build_dir), "-j", JOBS]).returncode == 0


def build_is_clean(build_dir):
    result = run(["ninja", "-C", str(build_dir), "-n"])
    return "no work to do" in result.stdout


TEST_RESULT = re.compile(r"Test\s+#\d+: (\S+) \.+\**\s*(\w+).*?([\d.]+) sec")


def baseline(build_dir):
    """Runs the whole suite once on the unchanged build; returns {test: seconds}."""
    result = run(["ctest", "--test-dir", str(build_dir), "-j", JOBS])
    times = {}
    for name, status, seconds in TEST_RESULT.findall(result.stdout):
        if status != "Passed":
            sys.exit(f"the suite does not pass unchanged ({name}: {status}); fix that first")
        times[name] = float(seconds)
    if result.returncode != 0 or not times:
        sys.exit("the suite does not pass unchanged:\n" + result.stdout[-3000:])
    return times


def test_batches(times):
    """Fastest first, two at a time (the tests run two in parallel)."""
    ordered = sorted(times, key=lambda name: times[name])
    return [ordered[i:i + 2] for i in range(0, len(ordered), 2)]


def tests_catch(build_dir, batches, times, min_timeout):
    """True when some test fails or times out; stops at the first batch that fails."""
    for batch in batches:
        timeout = max(min_timeout, 5 * max(times[name] for name in batch))
        pattern = "^(" + "|".join(re.escape(name) for name in batch) + ")$"
        result = run(["ctest", "--test-dir", str(build_dir), "-j", JOBS, "-R", pattern,
                      "--stop-on-failure", "--timeout", str(int(timeout) + 1)])
        if result.returncode != 0:
            failed = re.findall(r"\d+ - (\S+) \((\w+)", result.stdout)
            if not failed:
                return batch[0]
            name, status = failed[0]
            if status != "Timeout" or hung_again(build_dir, name, 2 * timeout):
                return name
    return None


def hung_again(build_dir, name, timeout):
    """A timeout on a loaded machine is not a catch by itself: the test gets one more run,
    alone and with twice the time, and counts only if it fails again."""
    result = run(["ctest", "--test-dir", str(build_dir), "-R", "^" + re.escape(name) + "$",
                  "--timeout", str(int(timeout) + 1)])
    return result.returncode != 0


# ---------------------------------------------------------------------------------------------
# Applying and restoring

class Restorer:
    """Keeps the original of the one mutated file, also on disk beside the build, so a
    run killed outright is undone by the next one."""

    def __init__(self, build_dir):
        self.backup = build_dir / "plant-faults.backup"
        self.path = None
        self.original = None

    def recover(self):
        if self.backup.exists():
            name, _, content = self.backup.read_bytes().partition(b"\n")
            (ROOT / name.decode()).write_bytes(content)
            self.backup.unlink()
            print(f"restored {name.decode()} left mutated by an earlier run")

    def apply(self, site):
        path = ROOT / site.path
        self.original = path.read_bytes()
        self.path = path
        self.backup.write_bytes(site.path.encode() + b"\n" + self.original)
        lines = self.original.decode("utf-8").split("\n")
        if lines[site.line - 1] != site.before:
            raise RuntimeError(f"{site_id(site)}: the line changed since the sites were found")
        lines[site.line - 1] = site.after
        path.write_bytes("\n".join(lines).encode("utf-8"))

    def restore(self):
        if self.path is None:
            return
        self.path.write_bytes(self.original)
        # A fresh time stamp, so Ninja rebuilds the object compiled from the mutant.
        os.utime(self.path)
        self.backup.unlink(missing_ok=True)
        self.path = None


# ---------------------------------------------------------------------------------------------
# Reporting

def area(site):
    return site.path.split("/")[0]


def summary(results):
    lines = []
    per_area = collections.defaultdict(collections.Counter)
    for site, outcome, _ in results:
        per_area[area(site)][outcome] += 1
    lines.append(f"{'':12} {'caught':>7} {'compiled':>9} {'missed':>7} {'not compiled':>13}")
    total = collections.Counter()
    for name in sorted(per_area):
        counts = per_area[name]
        total.update(counts)
        lines.append(row(name, counts))
    lines.append(row("total", total))
    missed = [(site, note) for site, outcome, note in results if outcome == "missed"]
    if missed:
        lines.append("")
        lines.append("missed:")
        for site, _ in missed:
            lines.append(f"{site.path}:{site.line}: {site.before.strip()} -> "
                         f"{site.after.strip() or '(removed)'}")
            lines.append(f"    --only {site_id(site)}")
    return "\n".join(lines)


def row(name, counts):
    compiled = counts["caught"] + counts["missed"]
    return (f"{name:12} {counts['caught']:>7} {compiled:>9} {counts['missed']:>7} "
            f"{counts['not compiled']:>13}")


# ---------------------------------------------------------------------------------------------

def parse_args():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build_dir", type=Path, help="a configured Ninja build directory")
    parser.add_argument("paths", nargs="*", default=DEFAULT_PATHS,
                        help="source folders or .cpp files (default: " + " ".join(DEFAULT_PATHS) + ")")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=10, help="mutants to run")
    parser.add_argument("--skip", type=int, default=0,
                        help="leave out the first SKIP of the seed's draw (to run in chunks)")
    parser.add_argument("--only", action="append", default=[], metavar="ID",
                        help="run this site (as printed under a missed mutant); repeatable")
    parser.add_argument("--list", action="store_true", help="print the sites and stop")
    parser.add_argument("--output", type=Path, help="also write the summary to this file")
    parser.add_argument("--min-timeout", type=float, default=30,
                        help="least seconds a test may take before it counts as hung")
    return parser.parse_intermixed_args()


def choose(args, sites):
    if args.only:
        by_id = {site_id(site): site for site in sites}
        unknown = [ident for ident in args.only if ident not in by_id]
        if unknown:
            sys.exit("no such site: " + ", ".join(unknown))
        return [by_id[ident] for ident in args.only]
    order = list(sites)
    random.Random(args.seed).shuffle(order)
    return order[args.skip:args.skip + args.count]


def raise_interrupt(signum, frame):
    raise KeyboardInterrupt


def main():
    args = parse_args()
    build_dir = args.build_dir.resolve()
    if not (build_dir / "build.ninja").exists():
        sys.exit(f"{build_dir} is not a configured Ninja build")
    restorer = Restorer(build_dir)
    restorer.recover()
    sites = collect_sites(args.paths)
    if args.list:
        for site in sites:
            print(f"{site_id(site)}: {site.before.strip()} -> {site.after.strip()}")
        print(f"{len(sites)} sites", file=sys.stderr)
        return 0
    sources = [str(ROOT / name) for name in args.paths]
    if subprocess.run(["git", "-C", str(ROOT), "diff", "--quiet", "--"] + sources).returncode:
        sys.exit("the sources to mutate have uncommitted changes; commit or stash them first")
    chosen = choose(args, sites)
    signal.signal(signal.SIGTERM, raise_interrupt)

    print(f"{len(sites)} sites; running {len(chosen)}", flush=True)
    if not build(build_dir):
        sys.exit("the unchanged sources do not build")
    times = baseline(build_dir)
    batches = test_batches(times)
    print(f"baseline: {len(times)} tests pass in {sum(times.values()):.0f} s of test time",
          flush=True)

    results = []
    interrupted = False
    try:
        for number, site in enumerate(chosen, start=1):
            started = time.monotonic()
            try:
                restorer.apply(site)
                if not build(build_dir):
                    outcome, note = "not compiled", ""
                else:
                    failed = tests_catch(build_dir, batches, times, args.min_timeout)
                    outcome, note = ("caught", failed) if failed else ("missed", "")
            finally:
                restorer.restore()
            results.append((site, outcome, note))
            print(f"[{number}/{len(chosen)}] {outcome:12} {site_id(site)}"
                  f"{'  by ' + note if note else ''}  ({time.monotonic() - started:.0f} s)",
                  flush=True)
    except KeyboardInterrupt:
        interrupted = True
        print("\ninterrupted; restoring and rebuilding", flush=True)
    finally:
        restorer.restore()
        rebuilt = build(build_dir) and build_is_clean(build_dir)
        unchanged = subprocess.run(["git", "-C", str(ROOT), "diff", "--quiet", "--"]
                                   + sources).returncode == 0

    report = summary(results)
    print("\n" + report)
    if args.output:
        args.output.write_text(report + "\n", encoding="utf-8")
    if not unchanged:
        print("ERROR: the sources differ from git after the run (git diff)", file=sys.stderr)
    if not rebuilt:
        print("ERROR: the build directory did not come back to the unchanged sources",
              file=sys.stderr)
    if interrupted or not unchanged or not rebuilt:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
