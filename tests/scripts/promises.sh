#!/usr/bin/env bash
# What scripts/test.sh, setup.sh, cross.sh, windows.sh, lint.sh and fuzz.sh promise,
# and the rules of tests/layering_test.cmake and of cmake/core.cmake's layer
# links, one row of the table at the end each. Every row runs the real script
# in a scratch tree of its own: the tiny project in project/ (a test that
# passes, one that skips as our scripts do, one as GoogleTest does), links to
# the real script under test and stand-ins (standin.sh) for the rest: the
# other scripts, the package tools, sudo, cmake and ctest where the suite
# would build for real, the emulators. PATH holds the stand-ins and links to
# harmless tools only, so nothing is installed or fetched. A row passes when
# the script's status and output (with the stand-ins' log lines, in order)
# are what the row says.
#   bash tests/scripts/promises.sh [ROW...]      (every row when none is named)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Tools the scripts may really run: none installs or changes the machine.
mkdir -p "$work/safe" "$work/stand" "$work/build-tools" "$work/node"
for tool in bash sh env cat cp mv rm ln mkdir mktemp ls find grep sed awk sort paste tr wc head tail touch \
    dirname basename cmp nproc git clang-format-14 shellcheck cmake ctest make; do
    path=$(command -v "$tool") || { echo "scripts promises: SKIPPED: $tool is not on PATH"; exit 77; }
    ln -s "$path" "$work/safe/$tool"
done
for tool in id sudo apt-get apt-cache dpkg-query dpkg dpkg-deb chown npm qemu-aarch64 qemu-s390x; do
    ln -s "$here/standin.sh" "$work/stand/$tool"
done
# cmake and ctest stand in where the script would build the real tree.
ln -s "$here/standin.sh" "$work/build-tools/cmake"
ln -s "$here/standin.sh" "$work/build-tools/ctest"
ln -s "$here/standin.sh" "$work/node/node"

# A scratch tree for a row: the fixture project, the script under test linked
# from the repository, stand-ins for the other scripts.
fixture() {  # folder, script under test
    local fx=$1 s
    mkdir -p "$fx/scripts" "$fx/tests/web" "$fx/cmake" "$fx/fuzz/corpus" "$fx.tmp" "$fx.state"
    cp "$here/project/CMakeLists.txt" "$fx/"
    touch "$fx/fuzz/script.dict"
    ln -s "$here/standin.sh" "$fx/scripts/standin.sh"
    ln -s "$here/standin.sh" "$fx/tests/golden_test.sh"
    for s in test setup lint cross windows fuzz; do
        if [ "$s.sh" = "$2" ]; then
            ln -s "$repo/scripts/$s.sh" "$fx/scripts/$s.sh"
        else
            ln -s "$here/standin.sh" "$fx/scripts/$s.sh"
        fi
    done
}

# lint.sh's tree: a git repository of C++ files, some formatted, and for
# the kind shell, scripts that shellcheck finds fault with.
lint_tree() {  # folder, kind: clean, dirty, untracked or shell
    local fx=$1
    cp "$repo/.clang-format" "$fx/"
    mkdir -p "$fx/src" "$fx/include"
    printf 'int good() { return 1; }\n' >"$fx/src/good.cpp"
    printf 'int  h();\n' >"$fx/include/bad.h"
    printf 'int bad( ) {return 2;}\n' >"$fx/src/bad.cpp"
    [ "$2" = dirty ] || [ "$2" = untracked ] || rm "$fx/include/bad.h" "$fx/src/bad.cpp"
    # shellcheck disable=SC2016  # the unexpanded $1 is the finding
    if [ "$2" = shell ]; then  # a finding in a *.sh and in a script known by its first line
        printf '#!/bin/sh\necho $1\n' >"$fx/run.sh"
        mkdir -p "$fx/tools"
        printf '#!/usr/bin/env bash\ncd $1 || exit\n' >"$fx/tools/go"
        printf 'echo $1\n' >"$fx/notes.txt"
    fi
    git -C "$fx" init -q
    if [ "$2" = untracked ]; then git -C "$fx" add src/good.cpp; else git -C "$fx" add .; fi
}

# layering_test.cmake on a tree of one source file holding one line, beside
# the real cmake/core.cmake.
layering() {  # folder, file, line
    mkdir -p "$1/$(dirname "$2")"
    cp "$repo/cmake/core.cmake" "$1/cmake/"
    printf '%s\n' "$3" >"$1/$2"
    cmake -DSOURCE="$1" -P "$repo/tests/layering_test.cmake"
}

# cmake/core.cmake's own check: a layer that links one above it stops the
# configuration, before the fixture's own stop after the layers are made.
core_links() {  # folder, layer, link
    mkdir -p "$1/core"
    cp "$repo/cmake/core.cmake" "$1/cmake/"
    cat >"$1/core/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(layers NONE)
include(../cmake/core.cmake)
set(ringfield_${2}_private ${3})
ringfield_add_core()
# Stops before generating: the fixture has no sources to build.
message(FATAL_ERROR "fixture: the layers' links are accepted")
EOF
    cmake -S "$1/core" -B "$1/core/build"
}

# Checks, separated by " ;; ": a regular expression some line matches, !RE
# that none does, A >> B >> ... lines matching in that order, file:PATH and
# nofile:PATH in the scratch tree, and notmp: the script left no temporary file.
check() {  # output, folder, checks
    local out=$1 fx=$2 item rest
    local -a items
    mapfile -t items < <(printf '%s\n' "$3" | sed 's/ ;; /\n/g')
    for item in "${items[@]}"; do
        case "$item" in
        "") ;;
        notmp) [ -z "$(ls -A "$fx.tmp")" ] || { echo "left in TMPDIR: $(ls "$fx.tmp")"; return 1; } ;;
        file:*) [ -e "$fx/${item#file:}" ] || { echo "no ${item#file:}"; return 1; } ;;
        nofile:*) [ ! -e "$fx/${item#nofile:}" ] || { echo "there is ${item#nofile:}"; return 1; } ;;
        !*) ! grep -qE -- "${item#!}" "$out" || { echo "a line matches '${item#!}'"; return 1; } ;;
        *" >> "*)
            rest=$item
            awk -v seq="$rest" 'BEGIN { n = split(seq, want, / >> /); i = 1 }
                i <= n && $0 ~ want[i] { i++ }
                END { if (i <= n) { print "out of order or missing: " want[i]; exit 1 } }' "$out" || return 1
            ;;
        *) grep -qE -- "$item" "$out" || { echo "no line matches '$item'"; return 1; } ;;
        esac
    done
}

# One row: its name, the command (a script with its arguments, "again" before
# it to run it twice and check the second run, or layering / core-links), the
# environment, the status and the checks.
run_row() {
    local name=$1 command=$2 environment=$3 status=$4 checks=$5 fx=$work/row-$rows runs=1 got=0 script path
    local -a words env_words
    read -ra words <<<"$command"
    read -ra env_words <<<"$environment"
    if [ "${words[0]}" = again ]; then runs=2 words=("${words[@]:1}"); fi
    script=${words[0]}
    fixture "$fx" "$script"
    path=$work/stand:$work/safe
    case "$script" in
    test.sh | lint.sh | layering | core-links) ;;
    *) path=$work/build-tools:$path ;;
    esac
    [[ " $environment " != *" with-node "* ]] || path=$work/node:$path
    [ "$script" != lint.sh ] || lint_tree "$fx" "${words[1]:-clean}"
    for ((run = 0; run < runs; run++)); do
        : >"$fx.out"
        got=0
        (
            cd "$fx"
            export PATH=$path TMPDIR=$fx.tmp STANDIN_LOG=$fx.out STANDIN_STATE=$fx.state
            for word in "${env_words[@]}"; do [[ "$word" != *=* ]] || export "${word?}"; done
            case "$script" in
            layering) layering "$fx" "${words[1]}" "${command#layering "${words[1]}" }" ;;
            core-links) core_links "$fx" "${words[1]}" "${words[2]}" ;;
            lint.sh) bash scripts/lint.sh ;;
            *) bash "scripts/$script" "${words[@]:1}" ;;
            esac
        ) >>"$fx.out" 2>&1 </dev/null || got=$?
    done
    local why=""
    [ "$got" -eq "$status" ] || why="status $got, not $status"
    [ -n "$why" ] || why=$(check "$fx.out" "$fx" "$checks") || true
    if [ -n "$why" ]; then
        echo "FAILED: $name: $why; its output:"
        sed 's/^/    /' "$fx.out"
        return 1
    fi
    echo "ok: $name"
}

trim() {
    local s=$1
    s=${s#"${s%%[![:space:]]*}"}
    printf '%s' "${s%"${s##*[![:space:]]}"}"
}

# The rows two or more at a time (as many as there are cores), each in its
# own tree; the results in the table's order.
jobs=$(nproc)
[ "$jobs" -ge 2 ] || jobs=2
rows=0
while IFS='|' read -r name command environment status checks; do
    name=$(trim "$name")
    if [ -z "$name" ] || [ "${name:0:1}" = "#" ]; then continue; fi
    [ "$#" -eq 0 ] || [[ " $* " == *" $name "* ]] || continue
    rows=$((rows + 1))
    run_row "$name" "$(trim "$command")" "$(trim "$environment")" "$(trim "$status")" "$(trim "$checks")" \
        >"$work/result-$rows" 2>&1 &
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
done <"$here/promises.txt"
wait
[ "$rows" -gt 0 ] || { echo "no row named $*"; exit 1; }
failed=0
for ((row = 1; row <= rows; row++)); do
    cat "$work/result-$row"
    grep -q '^ok: ' "$work/result-$row" || failed=$((failed + 1))
done
echo "$((rows - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
