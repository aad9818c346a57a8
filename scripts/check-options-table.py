#!/usr/bin/env python3
"""Checks the README's table of the hosts' options against their --help:
the same options with the same value words, the hosts that take each
(orvi-viewer, orvi-qt or both) as each host's --help lists it, and each
row's text the start of the option's help (whitespace and Markdown's
backticks aside).

    check-options-table.py README.md ORVI_VIEWER [--qt=ORVI_QT]

Without --qt (orvi-qt not built) only orvi-viewer's side is checked.
"""
import re
import subprocess
import sys


def squeeze(text):
    return "".join(text.split())


def help_options(program):
    """{head: text} of the Options section of a program's --help."""
    out = subprocess.run([program, "--help"], check=True, capture_output=True,
                         text=True).stdout
    section = re.search(r"^Options:\n(.*?)\n\n", out, re.S | re.M)
    if not section:
        sys.exit(f"{program} --help has no Options section")
    options, head = {}, None
    for line in section.group(1).splitlines():
        entry = re.match(r"  (-\S.*?)(?: {2,}(.*)|$)", line)
        if entry:
            head = entry.group(1)
            options[head] = entry.group(2) or ""
        elif head:
            options[head] += " " + line.strip()
    return options


def readme_options(path):
    """{head: (hosts, text)} of the README's option table."""
    rows = {}
    text = open(path, encoding="utf-8").read()
    table = re.search(r"^\| Option \| Hosts \| What it does \|\n\|[-|]+\|\n((?:\|.*\n)+)",
                      text, re.M)
    if not table:
        sys.exit(f"{path} has no table '| Option | Hosts | What it does |'")
    for line in table.group(1).splitlines():
        cells = [c.strip() for c in re.split(r"(?<!\\)\|", line)[1:-1]]
        if len(cells) != 3:
            sys.exit(f"{path}: a row of the option table is not three cells: {line}")
        head, hosts, what = (c.replace("`", "").replace("\\|", "|") for c in cells)
        rows[head] = (hosts, what)
    return rows


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    readme, viewer = argv[1], argv[2]
    qt = next((a[len("--qt="):] for a in argv[3:] if a.startswith("--qt=")), "")
    helps = {"orvi-viewer": help_options(viewer)}
    if qt:
        helps["orvi-qt"] = help_options(qt)
    rows = readme_options(readme)
    problems = []
    for head in sorted(set(rows) | {h for options in helps.values() for h in options}):
        takers = [host for host, options in helps.items() if head in options]
        if head not in rows:
            problems.append(f"'{head}' is in the --help of {', '.join(takers)}, not in the README")
            continue
        hosts, what = rows[head]
        wanted = ["orvi-viewer", "orvi-qt"] if hosts == "both" else [hosts]
        wanted = [h for h in wanted if h in helps]
        if hosts not in ("both", "orvi-viewer", "orvi-qt"):
            problems.append(f"'{head}': hosts '{hosts}' (both, orvi-viewer or orvi-qt)")
        elif sorted(takers) != sorted(wanted):
            problems.append(f"'{head}': the README says {hosts}; --help lists it for "
                            f"{', '.join(takers) or 'no host'}")
        for host in takers:
            if not squeeze(helps[host][head]).startswith(squeeze(what)):
                problems.append(f"'{head}': the README's text is not the start of {host}'s "
                                f"--help: '{what}' against '{helps[host][head]}'")
    for problem in problems:
        print(problem)
    print(f"{len(rows)} options in the README, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
