#!/usr/bin/env bash
# Fails when a C++ source of the project is not formatted as .clang-format says, and lists them.
#   tests/ci/format-check.sh [--fix]    (--fix formats them in place)
set -euo pipefail
cd "$(dirname "$0")/../.."
formatter=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$formatter" ]; then
    echo "format-check: clang-format not found (Debian: clang-format); not checked" >&2
    exit 0
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests tools bench -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = "--fix" ]; then
    "$formatter" -i "${files[@]}"
    exit 0
fi
bad=()
for f in "${files[@]}"; do
    "$formatter" --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    echo "format-check: ${#bad[@]} file(s) differ from .clang-format (tests/ci/format-check.sh --fix):" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "format-check: ${#files[@]} files formatted"
