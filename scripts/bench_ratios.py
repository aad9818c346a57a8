"""Prints every <Case>/Orvi benchmark as a ratio to its <Case>/Vtk baseline.

Usage: bench_ratios.py RESULT.json...  (Google Benchmark JSON output)
"""
import json
import sys


def pair_name(name):
    """'Case/Orvi/real_time' -> 'Case/Orvi'; None when the name has no side."""
    parts = name.split("/")
    for i, part in enumerate(parts):
        if part in ("Vtk", "Orvi"):
            return "/".join(parts[: i + 1])
    return None


def main(paths):
    times = {}
    counters = {}
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "mean":
                continue
            name = pair_name(b.get("run_name", b["name"]))
            if name is None:
                continue
            times[name] = b["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[
                b.get("time_unit", "ns")
            ]
            counters[name] = {
                k: v for k, v in b.items() if k.endswith("_bytes") or k.startswith("mem_")
            }
    print()
    print("%-48s %14s %14s %8s" % ("case", "vtk (ms)", "orvi (ms)", "ratio"))
    for name in sorted(times):
        if not name.endswith("/Orvi"):
            continue
        case = name[: -len("/Orvi")]
        base = times.get(case + "/Vtk")
        if base is None:
            print("%-48s %14s %14.4f %8s" % (case, "-", times[name] * 1e3, "-"))
            continue
        print(
            "%-48s %14.4f %14.4f %8.3f"
            % (case, base * 1e3, times[name] * 1e3, times[name] / base)
        )
        for key, value in counters.get(name, {}).items():
            print("    %s: %s" % (key, value))


if __name__ == "__main__":
    main(sys.argv[1:])
