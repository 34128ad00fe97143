#!/usr/bin/env bash
# Every relative link in README.md, CONTRIBUTING.md and docs/*.md leads
# somewhere: the file or folder exists, and a #part names a heading of the
# Markdown file it points into (as the repository's web view makes anchors
# from headings). Web links (with a scheme) are not followed. Code spans and
# code blocks are not read, since their text is not a link.
# And every test that the testing notes and behaviour tables name is there:
# a `Suite.Case` is a TEST in tests/, a CTest `name` is one of the build's
# tests (from BUILD when given) or a literal add_test name.
#   bash tests/doc_links_test.sh [repository [BUILD]]
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
build=${2:-}
cd "$root"

# The anchors of a Markdown file's headings, one a line: lower case, spaces
# as hyphens, other punctuation dropped, a repeated one numbered -1, -2...
anchors() {
    awk '
        /^```/ { fenced = !fenced; next }
        fenced || !/^#+ / { next }
        { text = $0; sub(/^#+ +/, "", text); sub(/ +#* *$/, "", text)
          text = tolower(text); gsub(/[^a-z0-9 _-]/, "", text); gsub(/ /, "-", text)
          print seen[text]++ ? text "-" (seen[text] - 1) : text }' "$1"
}

# Each link target of a Markdown file, as "line target", outside code.
links() {
    awk '
        /^```/ { fenced = !fenced; next }
        fenced || /^(    |\t)/ { next }
        { line = $0; gsub(/`[^`]*`/, "", line)
          while (match(line, /\]\([^) ]+( "[^"]*")?\)/)) {
              target = substr(line, RSTART + 2, RLENGTH - 3); sub(/ ".*/, "", target)
              print NR " " target
              line = substr(line, RSTART + RLENGTH) } }' "$1"
}

# Each Markdown file's anchors, worked out once.
declare -A anchor_cache

files=(README.md CONTRIBUTING.md docs/*.md)
dead=0
checked=0
for file in "${files[@]}"; do
    [ -f "$file" ] || { echo "doc links: $file is missing"; dead=$((dead + 1)); continue; }
    folder=.
    [[ "$file" != */* ]] || folder=${file%/*}
    while read -r line target; do
        checked=$((checked + 1))
        case "$target" in [a-zA-Z]*:*) continue ;; esac
        path=${target%%#*}
        part=
        [ "$path" = "$target" ] || part=${target#*#}
        if [ -z "$path" ]; then
            to=$file
        else
            to=$folder/$path
        fi
        if [ ! -e "$to" ]; then
            echo "doc links: $file:$line: $target: no such file"
            dead=$((dead + 1))
            continue
        fi
        [ -n "$part" ] || continue
        if [[ "$to" == *.md ]] && [ -z "${anchor_cache[$to]+set}" ]; then anchor_cache[$to]=$(anchors "$to"); fi
        if [[ "$to" != *.md ]] || ! grep -qxF -- "$part" <<<"${anchor_cache[$to]}"; then
            echo "doc links: $file:$line: $target: no heading makes #$part"
            dead=$((dead + 1))
        fi
    done < <(links "$file")
done

# The tests the notes name, against the tests there are.
cases=$(grep -ohE 'TEST(_F)?\([A-Za-z0-9]+, [A-Za-z0-9]+\)' tests/*.cpp | sed -E 's/TEST(_F)?\(([^,]+), ([^)]+)\)/\2.\3/')
ctests=$(grep -ohE 'add_test\(NAME [a-z0-9_]+' CMakeLists.txt tests/CMakeLists.txt fuzz/CMakeLists.txt | sed 's/.* //')
[ -z "$build" ] || ctests+=$'\n'$(ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p')
for target in fuzz/*.cpp; do
    target=${target##*/}
    [ "$target" = replay.cpp ] || ctests+=$'\n'fuzz_replay_${target%.cpp}
done
named=0
# shellcheck disable=SC2016  # the backticks are Markdown's, not the shell's
for file in docs/testing.md docs/behaviour/*.md; do
    while IFS=: read -r line name; do
        named=$((named + 1))
        grep -qxF -- "$name" <<<"$cases" || { echo "doc links: $file:$line: no test $name"; dead=$((dead + 1)); }
    done < <(grep -noE '`[A-Z][A-Za-z0-9]+\.[A-Z][A-Za-z0-9]+`' "$file" | tr -d '`')
    while IFS=: read -r line name; do
        named=$((named + 1))
        name=${name#CTest }
        grep -qxF -- "$name" <<<"$ctests" || { echo "doc links: $file:$line: no CTest $name"; dead=$((dead + 1)); }
    done < <(grep -noE 'CTest `[a-z0-9_]+`' "$file" | tr -d '`')
done
if [ "$dead" -gt 0 ]; then
    echo "doc links: $dead dead of $checked links and $named tests named"
    exit 1
fi
echo "doc links: all $checked links lead somewhere, and all $named tests named are there"
