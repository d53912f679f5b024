#!/usr/bin/env bash
# Fails when a C++ file is not formatted as .clang-format says; run clang-format -i to mend it.
set -euo pipefail
cd "$(dirname "$0")/.."
find src tests tools bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 clang-format --dry-run --Werror
