#!/usr/bin/env bash
# Fails when a C++ source of ours differs from clang-format's output (VTK's
# style, .clang-format at the top of the tree).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ORVI_ROOT"
mapfile -t files < <(git ls-files '*.h' '*.cxx' 2>/dev/null || find Rendering Examples Apps Benchmarks -name '*.h' -o -name '*.cxx')
if [ ${#files[@]} -eq 0 ]; then exit 0; fi
if ! clang-format --dry-run -Werror "${files[@]}"; then
  echo "Formatting differs from .clang-format: run clang-format -i on the files above." >&2
  exit 1
fi
