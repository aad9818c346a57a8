"""Prints every <Case>/Orvi benchmark as a ratio to its baseline <Case>/<Baseline>.

Usage: bench_ratios.py RESULT.json...  (Google Benchmark JSON output)
       bench_ratios.py --instructions CALLGRIND_DUMP...

A case's baseline is the one other benchmark named <Case>/<Baseline>: Vtk
for VTK's own way of doing the same thing, or a name that says what else it
is (CellPass, FullSurface, NoEdges, ...). With repetitions, each side's time
is the median of its runs, and each side's spread is the range of its runs
(largest minus smallest) as a percentage of that median. A case that could not
run is printed with the reason its program gave; a missing or zero time
prints no ratio.

A pair <Case>/Pair draws both sides in turn in one run and reports each
side's CPU time a frame as the counter <Side>_cpu_ms: its sides' times are
those counters (marked "cpu, interleaved"), and since each repetition gives
both sides, the ratio's own spread (the range of the repetitions' ratios over
the median ratio) is printed too: it is how far the figure can be trusted.

With --instructions, the files are callgrind's dumps of pairs run under
valgrind (scripts/bench.sh --instructions), named <Case>.<pid>.<n>: each
frame a pair draws is a dump of its own, triggered by a client request named
for the side. Each side's count is the median of its frames' instructions.
"""
import json
import statistics
import sys

SUFFIXES = ("real_time", "manual_time", "process_time")
UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def split_name(name):
    """'Case/Orvi/real_time' -> ('Case', 'Orvi'); the side is the last part
    before Google Benchmark's own suffixes (its clocks, and its settings
    written as key:value, such as repeats:3)."""
    parts = [p for p in name.split("/") if p not in SUFFIXES and ":" not in p]
    if len(parts) < 2:
        return None
    return "/".join(parts[:-1]), parts[-1]


PAIR = "Pair"
PAIR_CLOCK = "_cpu_ms"


class Result:
    def __init__(self):
        self.times = []  # seconds, one per repetition
        self.error = None
        self.counters = {}
        self.paired = False  # times from a pair's counters, repetition by repetition


def add_pair(results, case, b):
    """The sides of a pair's run: one time per counter <Side>_cpu_ms."""
    if b.get("error_occurred"):
        results.setdefault((case, "Orvi"), Result()).error = b.get("error_message") or "skipped"
        return
    for key, value in b.items():
        if key.endswith(PAIR_CLOCK) and key != "process" + PAIR_CLOCK:
            r = results.setdefault((case, key[: -len(PAIR_CLOCK)]), Result())
            r.paired = True
            r.times.append(value * 1e-3)


def load(paths):
    """{(case, side): Result} from the JSON files; an unreadable file is
    reported and skipped."""
    results = {}
    for path in paths:
        try:
            with open(path) as f:
                text = f.read()
            if not text.strip():
                continue  # a program none of whose cases the filter chose
            data = json.loads(text)
        except (OSError, ValueError) as e:
            print("cannot read %s: %s" % (path, e), file=sys.stderr)
            continue
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate":
                continue
            key = split_name(b.get("run_name", b["name"]))
            if key is None:
                continue
            if key[1] == PAIR:
                add_pair(results, key[0], b)
                continue
            r = results.setdefault(key, Result())
            if b.get("error_occurred"):
                r.error = b.get("error_message") or "skipped"
                continue
            r.times.append(b.get("real_time", 0.0) * UNITS.get(b.get("time_unit", "ns"), 1e-9))
            r.counters = {
                k: v for k, v in b.items() if k.endswith("_bytes") or k.startswith("mem_")
            }
    return results


def median(times):
    return statistics.median(times) if times else None


def ms(seconds):
    return "%.4f" % (seconds * 1e3) if seconds is not None else "-"


def spread(times):
    """The range of the runs as a percentage of their median; '' with one run."""
    m = median(times)
    if len(times) < 2 or not m:
        return ""
    return "%.1f%%" % (100.0 * (max(times) - min(times)) / m)


def ratio_spread(base, orvi):
    """The range of a pair's per-repetition ratios as a percentage of their
    median; '' for sides not measured together or with one run."""
    if not (base.paired and orvi.paired) or len(base.times) != len(orvi.times):
        return ""
    ratios = [o / b for b, o in zip(base.times, orvi.times) if b]
    return spread(ratios)


def rows(results):
    """One row per <Case>/Orvi: case, baseline, its time, orvi's, ratio, the
    two spreads, the ratio's spread, a note and orvi's counters."""
    sides = {}
    for case, side in results:
        sides.setdefault(case, []).append(side)
    out = []
    for case in sorted(sides):
        if "Orvi" not in sides[case]:
            continue
        orvi = results[(case, "Orvi")]
        others = sorted(s for s in sides[case] if s != "Orvi")
        label = others[0] if len(others) == 1 else "-"
        base = results[(case, label)] if len(others) == 1 else Result()
        b, o = median(base.times), median(orvi.times)
        ratio = "%.3f" % (o / b) if b and o is not None else "-"
        note = ""
        if orvi.error or base.error:
            note = "skipped: " + (orvi.error or base.error)
        elif len(others) > 1:
            note = "several baselines: " + ", ".join(others)
        elif orvi.paired:
            note = "cpu, interleaved"
        out.append((case, label, ms(b), ms(o), ratio, spread(base.times), spread(orvi.times),
                    ratio_spread(base, orvi), note, orvi.counters))
    return out


def main(paths):
    table = rows(load(paths))
    print()
    print("%-44s %-12s %12s %12s %7s %7s %7s %7s" % ("case", "baseline", "base (ms)",
                                                     "orvi (ms)", "ratio", "base±", "orvi±",
                                                     "ratio±"))
    for case, label, b, o, ratio, bs, os_, rs, note, counters in table:
        if note.startswith("skipped"):
            print("%-44s %-12s %s" % (case, label, note))
            continue
        print("%-44s %-12s %12s %12s %7s %7s %7s %7s %s" % (case, label, b, o, ratio, bs, os_,
                                                            rs, note))
        for key, value in counters.items():
            print("    %s: %s" % (key, value))
    return 0


def frame_instructions(paths):
    """{(case, side): [instructions of each frame]} from callgrind's dumps."""
    counts = {}
    for path in paths:
        side = total = None
        try:
            with open(path) as f:
                for line in f:
                    if line.startswith("desc: Trigger: Client Request: "):
                        side = line.split(":", 3)[3].strip()
                    elif line.startswith(("summary:", "totals:")):
                        total = int(line.split()[1])
                        break
        except (OSError, ValueError) as e:
            print("cannot read %s: %s" % (path, e), file=sys.stderr)
            continue
        if side and total is not None:
            case = path.rsplit("/", 1)[-1].split(".", 1)[0]
            counts.setdefault((case, side), []).append(total)
    return counts


def instructions_main(paths):
    counts = frame_instructions(paths)
    print()
    print("%-24s %-8s %16s %16s %9s" % ("case", "baseline", "base (Ir/frame)", "orvi (Ir/frame)",
                                        "ratio"))
    for case in sorted({c for c, _ in counts}):
        sides = {s: median(v) for (c, s), v in counts.items() if c == case}
        orvi = sides.pop("Orvi", None)
        label, base = next(iter(sides.items())) if len(sides) == 1 else ("-", None)
        ratio = "%.4f" % (orvi / base) if base and orvi is not None else "-"
        print("%-24s %-8s %16s %16s %9s" % (case, label, "%d" % base if base else "-",
                                            "%d" % orvi if orvi is not None else "-", ratio))
    return 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["--instructions"]:
        sys.exit(instructions_main(sys.argv[2:]))
    sys.exit(main(sys.argv[1:]))
