#!/usr/bin/env python3
"""Checks that every code example of the library's headers (@code or \\code
blocks) and of the README's tutorial is compiled by
Rendering/Testing/Cxx/TestDocExamples.cxx: each example must stand there,
line for line (whitespace aside), between "// example: NAME" and
"// end example", NAME being the header's file name (with "#2", "#3" for its
later examples) or "README.md#N" for the tutorial's N-th code block.

    check-doc-examples.py REPOSITORY_ROOT
"""
import pathlib
import re
import sys


def squeeze(lines):
    return "".join("".join(line.split()) for line in lines)


def header_examples(path):
    examples, block = [], None
    for line in path.read_text().splitlines():
        text = re.sub(r"^\s*\*( |$)", "", line)
        if re.match(r"\s*[@\\]code\b", text):
            block = []
        elif re.match(r"\s*[@\\]endcode\b", text):
            examples.append(block)
            block = None
        elif block is not None:
            block.append(text)
    return examples


def readme_examples(path):
    """The indented code blocks of the README's tutorial section."""
    text = path.read_text()
    section = re.search(r"^## Tutorial.*?(?=^## )", text, re.S | re.M).group(0)
    examples, block = [], None
    for line in section.splitlines() + [""]:
        if re.match(r" {7}", line) or (block and line.strip() == ""):
            block = (block or []) + [line]
        elif block:
            examples.append(block)
            block = None
    return examples


def named(examples, base):
    return {base if i == 0 else f"{base}#{i + 1}": e for i, e in enumerate(examples)}


def main(root):
    root = pathlib.Path(root)
    wanted = {}
    for header in sorted((root / "Rendering").glob("vtk*.h")):
        wanted.update(named(header_examples(header), header.name))
    wanted.update({f"README.md#{i + 1}": e
                   for i, e in enumerate(readme_examples(root / "README.md"))})

    test = (root / "Rendering/Testing/Cxx/TestDocExamples.cxx").read_text()
    compiled = {m.group(1): m.group(2).splitlines() for m in re.finditer(
        r"// example: (\S+)\n(.*?)^\s*// end example", test, re.S | re.M)}

    problems = []
    for name, lines in wanted.items():
        if name not in compiled:
            problems.append(f"{name}: example not compiled by TestDocExamples.cxx")
        elif squeeze(compiled[name]) != squeeze(lines):
            problems.append(f"{name}: TestDocExamples.cxx compiles another version")
    problems += [f"{name}: no such example in the documentation"
                 for name in compiled if name not in wanted]
    for p in problems:
        print(p)
    print(f"{len(wanted)} examples, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
