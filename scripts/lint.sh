#!/usr/bin/env bash
# The tree's static checks, each naming what it finds: C++ formatted as
# .clang-format says, clang-tidy-14 as .clang-tidy says, and shellcheck over
# every shell script. Needs scripts/setup.sh lint (and demo and tests, for the
# configure run that writes compile_commands.json); scripts/test.sh runs it.
#   bash scripts/lint.sh
#
# clang-tidy reads the native build's compile commands from build-lint/
# (configured only, never built), two files at a time. A file whose
# preprocessed text, compile command and .clang-tidy are unchanged since the
# last run (and both .clang-tidy files) is not checked again: its result is kept in build-lint/tidy-cache/.
# Beside them it checks windows/*.cpp and capture/*_windows.cpp with the
# mingw build's commands when build-windows/ is configured, and web/web.cpp
# and the core's WebAssembly branches against emscripten's headers when they
# are installed.
#
# Not checked: under clang the 32-byte vector copies (RINGFIELD_WIDE_VECTORS
# in raster/vectors.h, gcc on x86-64 only) are compiled out, so clang-tidy
# never reads them; the Windows files are skipped when build-windows/ is
# missing.
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

# Every shell script: *.sh, and any tracked file whose first line runs a shell.
scripts=()
while IFS= read -r file; do
    case $file in
    *.sh) scripts+=("$file") ;;
    *) [ -f "$file" ] && head -n1 "$file" | grep -qE '^#!.*[/ ](ba|da)?sh( |$)' && scripts+=("$file") ;;
    esac
done < <(git ls-files)
if [ "${#scripts[@]}" -eq 0 ]; then
    echo "lint.sh: no shell scripts to check"
elif found=$(shellcheck --format=gcc "${scripts[@]}" 2>&1); then
    echo "lint.sh: shellcheck finds nothing in ${#scripts[@]} shell scripts"
else
    echo "lint.sh: shellcheck findings (fix them, or disable one with a comment saying why):" >&2
    printf '%s\n' "$found" | sed 's/^/lint.sh:   /' >&2
    status=1
fi

# clang-tidy where the tree has a .clang-tidy.
if [ ! -f .clang-tidy ]; then
    exit "$status"
fi

build="build-lint"
mkdir -p "$build/tidy-cache"
if ! cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DRINGFIELD_BENCH=ON >"$build/configure.log" 2>&1; then
    echo "lint.sh: cannot configure $build for clang-tidy (see $build/configure.log)" >&2
    exit 1
fi

# Three fields a file, each ended by a NUL: directory, file, compile command.
# A file built into two programs (tests/support.cpp) is checked once.
commands=$build/tidy-commands
jq -j --arg root "$PWD/" 'unique_by(.file) | .[] | .directory, "\u0000", (.file | ltrimstr($root)), "\u0000", .command, "\u0000"' \
    "$build/compile_commands.json" >"$commands"
windows="build-windows/compile_commands.json"
if [ -f "$windows" ]; then
    # clang-tidy does not find mingw's headers from the compiler's name: the
    # commands are clang's, given the C++ and Windows headers the mingw
    # compiler reads (less its own builtin ones), response files inlined.
    compiler=$(jq -r '.[0].command | split(" ")[0]' "$windows")
    mingw_includes=$("$compiler" -xc++ -E -v - </dev/null 2>&1 |
        sed -n '/search starts here/,/End of search/s/^ //p' | grep -vE 'gcc/[^/]+/[^/]+/include(-fixed)?$' |
        sed 's/^/-isystem /' | tr '\n' ' ')
    jq -j --arg root "$PWD/" '.[] | select(.file | test("/(windows/[^/]*|capture/[^/]*_windows)\\.cpp$"))
        | .directory, "\u0000", (.file | ltrimstr($root)), "\u0000", .command, "\u0000"' "$windows" |
        while IFS= read -r -d '' directory && IFS= read -r -d '' file && IFS= read -r -d '' command; do
            command=${command#* }
            while [[ $command =~ @([^ ]+\.rsp) ]]; do
                command=${command/"@${BASH_REMATCH[1]}"/"$(cat "$directory/${BASH_REMATCH[1]}")"}
            done
            printf '%s\0%s\0%s\0' "$directory" "$file" \
                "clang++-14 --target=x86_64-w64-mingw32 -nostdinc++ -nostdlibinc $mingw_includes$command"
        done >>"$commands"
else
    echo "lint.sh: build-windows/ is not configured (scripts/windows.sh): the Windows files are not checked"
fi
# The browser file, and the core files with WebAssembly SIMD branches, as
# the page's build compiles them.
emscripten_include=/usr/share/emscripten/cache/sysroot/include
if [ -d "$emscripten_include" ]; then
    for file in web/web.cpp present/present.cpp raster/accum.cpp raster/line.cpp; do
        printf '%s\0%s\0%s\0' "$PWD" "$file" "clang++-14 --target=wasm32-unknown-emscripten -D__EMSCRIPTEN__ \
-isystem $emscripten_include/c++/v1 -isystem $emscripten_include -nostdinc++ -msimd128 -std=c++20 -I$PWD \
-c $file" >>"$commands"
    done
else
    echo "lint.sh: emscripten's headers are missing: web/web.cpp and the core's WebAssembly code are not checked"
fi

# One file: its findings on stdout, from the cache when its key is there.
# shellcheck disable=SC2317  # run by xargs below
tidy_file() {  # directory file command
    local directory=$1 file=$2 command=$3 key result
    # The compile command with -E in place of -c and its output.
    local preprocess=${command/ -o * -c / -E }
    preprocess=${preprocess/ -c / -E }
    key=$({
        printf '%s\n%s\n' "$tidy_version" "$command"
        cat .clang-tidy tests/.clang-tidy
        (cd "$directory" && eval "$preprocess" 2>&1)
    } | sha256sum | cut -d' ' -f1)
    result=$build/tidy-cache/$key
    if [ ! -f "$result" ]; then
        # A compile database of the one file, so that every file runs alike.
        mkdir -p "$result.d"
        jq -n --arg d "$directory" --arg f "$PWD/$file" --arg c "$command" \
            '[{directory: $d, file: $f, command: $c}]' >"$result.d/compile_commands.json"
        clang-tidy-14 --quiet -p "$result.d" "$PWD/$file" 2>/dev/null |
            grep -E '^/[^:]+:[0-9]+:[0-9]+: (warning|error):' | sed "s|^$PWD/||" >"$result.part" || true
        rm -rf "$result.d"
        mv "$result.part" "$result"
    fi
    cat "$result"
}
tidy_version=$(clang-tidy-14 --version)
export -f tidy_file
export build tidy_version

findings=$build/tidy-findings.txt
xargs -0 -P2 -n3 bash -c 'tidy_file "$@"' _ <"$commands" |
    sort -u >"$findings"
if [ -s "$findings" ]; then
    echo "lint.sh: clang-tidy-14 findings (fix them, or mark them // NOLINT(check): reason):" >&2
    sed 's/^/lint.sh:   /' "$findings" >&2
    status=1
else
    echo "lint.sh: clang-tidy-14 finds nothing in $(($(tr -cd '\0' <"$commands" | wc -c) / 3)) files"
fi
exit "$status"
