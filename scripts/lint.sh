#!/usr/bin/env bash
# The tree's static checks, each naming what it finds: C++ formatted as
# .clang-format says. Needs scripts/setup.sh lint; scripts/test.sh runs it.
#   bash scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."

status=0

# Every tracked C++ file as clang-format-14 would write it.
unformatted=()
while IFS= read -r file; do
    clang-format-14 --style=file "$file" | cmp -s - "$file" || unformatted+=("$file")
done < <(git ls-files '*.cpp' '*.h')
if [ "${#unformatted[@]}" -gt 0 ]; then
    echo "lint.sh: not formatted as .clang-format says (run clang-format-14 -i on them):" >&2
    printf 'lint.sh:   %s\n' "${unformatted[@]}" >&2
    status=1
else
    echo "lint.sh: every C++ file is formatted"
fi
exit "$status"
