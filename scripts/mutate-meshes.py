#!/usr/bin/env python3
"""Damages mesh files the way storage, transfers and other programs do, and
runs a viewer command on every damaged file, black-box.

    mutate-meshes.py make SEEDS_DIR OUT_DIR [--per-format N] [--seed S]
    mutate-meshes.py run OUT_DIR --viewer PATH --drawn PATH [--jobs J] [--timeout T]

`make` writes N damaged files per extension (.vtk .vtu .vtp .stl .ply .obj)
from the seeds in SEEDS_DIR: bit flips, boundary bytes and words, deleted,
duplicated or inserted chunks, truncation, header and list counts set to 0,
-1, huge or off by one, XML attributes and types swapped, coordinates pushed
far out. `run` runs `VIEWER --size 320 240 --screenshot PNG FILE` on each
(with DISPLAY as set), classifies the outcome (crash, hang, exit 0 with
nothing drawn, exit 0 drawn, refused, raw VTK log lines in the output) and
prints one table row per extension; the files of every bad outcome are
listed in OUT_DIR/findings.txt, every outcome in OUT_DIR/results.txt.
"""
import argparse
import collections
import concurrent.futures
import os
import random
import re
import subprocess
import sys

EXTENSIONS = (".vtk", ".vtu", ".vtp", ".stl", ".ply", ".obj")
BOUNDARY_COUNTS = ("0", "-1", "-2", "-2147483648", "2147483647", "4294967295",
                   "9223372036854775807", "18446744073709551615", "1e308", "nan")
XML_TYPES = ("Int8", "UInt8", "Int16", "UInt16", "Int32", "UInt32", "Int64", "UInt64",
             "Float32", "Float64", "String", "Bit", "Junk")
NUMBER = re.compile(rb"-?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?")
INTEGER = re.compile(rb"(?<![\w.])\d+(?![\w.])")


def text_part(data):
    """The end of the leading text of a file (where binary data starts)."""
    for i, b in enumerate(data[:65536]):
        if b < 9 or (13 < b < 32) or b > 126:
            return i
    return min(len(data), 65536)


def flip_bits(data, rng):
    for _ in range(rng.randint(1, 8)):
        i = rng.randrange(len(data))
        data[i] ^= 1 << rng.randrange(8)


def boundary_byte(data, rng):
    for _ in range(rng.randint(1, 4)):
        data[rng.randrange(len(data))] = rng.choice((0, 0xFF, 0x7F, 0x80, 0x0A, 0x20))


def boundary_word(data, rng):
    word = rng.choice((b"\xff\xff\xff\xff", b"\xff\xff\xff\x7f", b"\x00\x00\x00\x80",
                       b"\x7f\xff\xff\xff", b"\x80\x00\x00\x00", b"\x00\x00\x00\x00",
                       b"\xff" * 8, b"\x00\x00\x00\x00\x00\x00\xf0\x7f"))
    i = rng.randrange(max(1, len(data) - len(word)))
    data[i:i + len(word)] = word


def delete_chunk(data, rng):
    i = rng.randrange(len(data))
    del data[i:i + rng.choice((1, 4, 16, 64, 512, max(1, len(data) // 10)))]


def duplicate_chunk(data, rng):
    i = rng.randrange(len(data))
    chunk = data[i:i + rng.choice((1, 8, 64, 1024))]
    j = rng.randrange(len(data))
    data[j:j] = chunk


def insert_random(data, rng):
    j = rng.randrange(len(data))
    data[j:j] = bytes(rng.randrange(256) for _ in range(rng.choice((1, 7, 33))))


def truncate(data, rng):
    del data[rng.randrange(len(data)):]


def header_count(data, rng):
    """An integer of the text part (a count, an index, a type) set to a
    boundary value or off by one."""
    end = len(data) if rng.random() < 0.5 else text_part(data)
    found = list(INTEGER.finditer(bytes(data[:end])))
    if not found:
        return flip_bits(data, rng)
    m = rng.choice(found[:200] if rng.random() < 0.7 else found)
    value = int(m.group())
    new = rng.choice(BOUNDARY_COUNTS + (str(value + 1), str(max(0, value - 1)), str(value * 1000)))
    data[m.start():m.end()] = new.encode()


def far_coordinate(data, rng):
    """A coordinate pushed far out: a decimal number in text, a float in a
    binary STL."""
    end = len(data)
    found = [m for m in NUMBER.finditer(bytes(data[:end])) if b"." in m.group() or b"e" in m.group()]
    if found:
        m = rng.choice(found)
        data[m.start():m.end()] = ("%.6e" % (10 ** rng.randint(9, 23))).encode()
    elif len(data) > 100:
        i = 84 + 12 + 4 * rng.randrange(9)
        data[i:i + 4] = rng.choice((b"\xf9\x02\x15\x50", b"\x6b\x84\x56\x65", b"\xff\xff\x7f\x7f"))


def xml_attribute(data, rng):
    text = bytes(data[:text_part(data)])
    choices = []
    for m in re.finditer(rb'(type|format|NumberOfComponents|NumberOf\w+|offset|compressor|header_type)="([^"]*)"', text):
        choices.append(m)
    if not choices:
        return header_count(data, rng)
    if rng.random() < 0.2:
        # Float64 and Int64 swapped everywhere, as a wrong writer does.
        whole = bytes(data)
        whole = whole.replace(b'"Float64"', b'"@@"').replace(b'"Int64"', b'"Float64"').replace(b'"@@"', b'"Int64"')
        whole = whole.replace(b'"Float32"', b'"@@"').replace(b'"Int32"', b'"Float32"').replace(b'"@@"', b'"Int32"')
        data[:] = whole
        return
    m = rng.choice(choices)
    name = m.group(1)
    if name == b"type":
        new = rng.choice(XML_TYPES).encode()
    elif name == b"format":
        new = rng.choice((b"ascii", b"binary", b"appended", b"raw", b""))
    elif name == b"compressor":
        new = rng.choice((b"vtkLZ4DataCompressor", b"vtkNoSuchCompressor", b""))
    elif name == b"header_type":
        new = rng.choice((b"UInt32", b"UInt64", b"Int8", b"Float64"))
    else:
        new = rng.choice(BOUNDARY_COUNTS).encode()
    data[m.start(2):m.end(2)] = new


def short_polygon(data, rng):
    """A face list entry cut to fewer than three points (text formats)."""
    text = bytes(data)
    m = None
    for pattern in (rb"\n3 (\d+) (\d+) (\d+)", rb"\nf (\d+\S*) (\d+\S*) (\d+\S*)"):
        found = list(re.finditer(pattern, text))
        if found:
            m = rng.choice(found)
            break
    if not m:
        return flip_bits(data, rng)
    keep = rng.choice((1, 2))
    prefix = b"\nf" if m.group(0).startswith(b"\nf") else b"\n" + str(keep).encode()
    items = b" ".join(m.group(k) for k in range(1, keep + 1))
    data[m.start():m.end()] = prefix + b" " + items


MUTATIONS = (flip_bits, boundary_byte, boundary_word, delete_chunk, duplicate_chunk,
             insert_random, truncate, header_count, header_count, far_coordinate,
             xml_attribute, short_polygon)


def make(args):
    rng = random.Random(args.seed)
    seeds = collections.defaultdict(list)
    for name in sorted(os.listdir(args.seeds)):
        ext = os.path.splitext(name)[1].lower()
        if ext in EXTENSIONS:
            with open(os.path.join(args.seeds, name), "rb") as f:
                seeds[ext].append((name, f.read()))
    os.makedirs(args.out, exist_ok=True)
    for ext in EXTENSIONS:
        for n in range(args.per_format):
            name, original = rng.choice(seeds[ext])
            data = bytearray(original)
            used = []
            for _ in range(rng.choice((1, 1, 1, 2, 3))):
                if not data:
                    break
                mutation = rng.choice(MUTATIONS)
                if mutation is xml_attribute and ext not in (".vtu", ".vtp"):
                    mutation = header_count
                mutation(data, rng)
                used.append(mutation.__name__)
            out = "%s-%04d-%s%s" % (os.path.splitext(name)[0], n, "+".join(used), ext)
            with open(os.path.join(args.out, out), "wb") as f:
                f.write(data)


RAW = re.compile(r"(ERR\||WARN\||\x1b\[|Warning: In |ERROR: In |Generic Warning|\(0x[0-9a-f]+\))")


def run_one(path, args):
    png = path + ".png"
    try:
        if os.path.exists(png):
            os.remove(png)
        p = subprocess.run([args.viewer, "--size", "320", "240", "--screenshot", png, path],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=args.timeout)
        out = p.stdout.decode("utf-8", "replace")
        rc = p.returncode
    except subprocess.TimeoutExpired:
        return path, "hang", ""
    raw = bool(RAW.search(out))
    if rc < 0 or rc >= 128:
        outcome = "crash"
    elif rc == 0:
        drawn = 0
        if os.path.exists(png):
            d = subprocess.run([args.drawn, "--drawn", png], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
            drawn = int(d.stdout.strip() or b"0")
            os.remove(png)
        # Some tenths of a percent of the picture: a model, not a dot.
        outcome = "shown" if drawn >= 320 * 240 // 500 else "silent"
    elif rc == 1 and "orvi-viewer: cannot" in out:
        outcome = "refused"
    else:
        outcome = "other"
    last = out.strip().splitlines()[-1] if out.strip() else ""
    return path, outcome + ("+raw" if raw else ""), last


def run(args):
    files = sorted(os.path.join(args.out, f) for f in os.listdir(args.out)
                   if os.path.splitext(f)[1] in EXTENSIONS)
    table = collections.defaultdict(collections.Counter)
    findings, results = [], []
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        for path, outcome, last in pool.map(lambda f: run_one(f, args), files):
            ext = os.path.splitext(path)[1]
            kind = outcome.split("+")[0]
            table[ext][kind] += 1
            table[ext]["runs"] += 1
            if outcome.endswith("+raw"):
                table[ext]["raw"] += 1
            results.append("%s\t%s\t%s" % (outcome, path, last))
            if kind not in ("refused", "shown") or outcome.endswith("+raw"):
                findings.append("%s\t%s\t%s" % (outcome, path, last))
    with open(os.path.join(args.out, "findings.txt"), "w") as f:
        f.write("\n".join(findings) + "\n")
    with open(os.path.join(args.out, "results.txt"), "w") as f:
        f.write("\n".join(results) + "\n")
    columns = ("runs", "crash", "hang", "silent", "other", "raw", "refused", "shown")
    print("| format | " + " | ".join(columns) + " |")
    print("|---" * (len(columns) + 1) + "|")
    for ext in EXTENSIONS:
        print("| %s | " % ext + " | ".join(str(table[ext][c]) for c in columns) + " |")
    return 1 if findings else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    m = sub.add_parser("make")
    m.add_argument("seeds")
    m.add_argument("out")
    m.add_argument("--per-format", type=int, default=600)
    m.add_argument("--seed", type=int, default=25)
    r = sub.add_parser("run")
    r.add_argument("out")
    r.add_argument("--viewer", required=True)
    r.add_argument("--drawn", required=True)
    r.add_argument("--jobs", type=int, default=2)
    r.add_argument("--timeout", type=float, default=20.0)
    args = parser.parse_args()
    return make(args) if args.command == "make" else run(args)


if __name__ == "__main__":
    sys.exit(main())
