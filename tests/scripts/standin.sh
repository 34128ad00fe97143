#!/usr/bin/env bash
# Stand-ins for what the scripts under test call: the package tools, sudo,
# the heavy steps of the suite (each script the one under test runs), the
# emulators and the fixture project's tests. Each logs one line starting
# "standin:" to $STANDIN_LOG and does just enough for the script to go on.
# Which one it is comes from the name it is called by (a link), or from the
# first argument when called as standin.sh.
#   STANDIN_FAIL   words (commas between): a stand-in of that name fails; BUILD:TEST fails a fixture test
#   STANDIN_SKIP   words: BUILD:tool and BUILD:gtest skip fixture tests; qemu skips a unit
#                  test under emulation; windows leaves a skip in build-windows/junit.xml
#   STANDIN_UID    what id -u says (default 0)
#   STANDIN_STATE  a folder for the installed packages and foreign architectures
set -euo pipefail
name=$(basename "$0")
if [ "$name" = standin.sh ]; then
    name=$1
    shift
fi
log() { echo "standin: $*" >>"$STANDIN_LOG"; }
has() {  # word, list of words (separated by spaces or commas)
    local list=${2:-}
    case ",${list//[ ]/,}," in *",$1,"*) return 0 ;; esac
    return 1
}
fails() { has "$1" "${STANDIN_FAIL:-}"; }
installed=${STANDIN_STATE:-/nonexistent}/installed

case "$name" in
setup.sh | lint.sh | cross.sh | golden_test.sh)
    log "$name $* (runner ${RINGFIELD_RUNNER:-none})"
    # The demo group builds build/, which the suite then tests.
    if [ "$name" = setup.sh ] && has demo "$*"; then
        cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    if fails "$name"; then exit 1; fi
    ;;
windows.sh)
    log "$name $*"
    mkdir -p build-windows
    if has windows "${STANDIN_SKIP:-}"; then
        cat >build-windows/junit.xml <<'XML'
<testsuite>
	<testcase name="smoke_window" classname="smoke_window" time="1" status="notrun">
		<skipped message="SKIP_RETURN_CODE=77"/>
		<system-out>smoke test: SKIPPED: xdotool is not on PATH
</system-out>
	</testcase>
</testsuite>
XML
    fi
    if fails "$name"; then exit 1; fi
    ;;
fixture-test) # BUILD TEST
    build=$1 test=$2
    log "$name $build $test"
    if fails "$build:$test"; then
        echo "fixture: $test failed"
        exit 1
    fi
    if [ "$test" = tool ] && has "$build:tool" "${STANDIN_SKIP:-}"; then
        echo "fixture test: SKIPPED: frobnicator is not on PATH"
        exit 77
    fi
    if [ "$test" = gtest ] && has "$build:gtest" "${STANDIN_SKIP:-}"; then
        printf '[ RUN      ] Widget.Spins\nwidget_test.cpp:12: Skipped\nno widget on this machine\n'
        printf '[  SKIPPED ] Widget.Spins (0 ms)\n'
    fi
    if [ "$test" = sanitizer ]; then
        # A sanitizer error must stop the test, not scroll past.
        case "${ASAN_OPTIONS:-}:${UBSAN_OPTIONS:-}" in
        *halt_on_error=1*:*halt_on_error=1*) ;;
        *) echo "fixture: sanitizers do not halt: '${ASAN_OPTIONS:-}' '${UBSAN_OPTIONS:-}'"; exit 1 ;;
        esac
    fi
    ;;
id)
    if [ "${1:-}" = -u ]; then echo "${STANDIN_UID:-0}"; else exit 1; fi
    ;;
sudo)
    log "sudo $*"
    # Only what is stood in for: nothing real runs as another user.
    case "$(command -v "$1")" in
    "$(dirname "$0")"/*) exec "$@" ;;
    *) echo "standin sudo: $1 is not stood in for" >&2; exit 1 ;;
    esac
    ;;
apt-get)
    log "apt-get $* (as uid ${STANDIN_UID:-0})"
    fails apt-get && exit 100
    case "$1" in
    install)
        shift
        for p in "$@"; do case "$p" in -*) ;; *) echo "$p" >>"$installed" ;; esac; done
        ;;
    download)
        shift
        for p in "$@"; do case "$p" in -*) ;; *) touch "${p%%:*}_1.0_${p##*:}.deb" ;; esac; done
        ;;
    source) mkdir -p libpng1.6-1.6.39/debian && touch libpng1.6-1.6.39/LICENSE libpng1.6-1.6.39/debian/copyright ;;
    esac
    ;;
apt-cache)
    log "apt-cache $*"
    if [ "$1" = showsrc ]; then printf 'Package: libpng1.6\nVersion: 1.6.39-2\n'; fi
    ;;
dpkg-query) # -W -f=FORMAT PACKAGE
    case "$2" in
    *Version*) echo 1.12.1-0.2 ;;
    *) if grep -qx "$3" "$installed" 2>/dev/null; then echo "install ok installed"; else exit 1; fi ;;
    esac
    ;;
dpkg)
    log "dpkg $*"
    case "$1" in
    --print-foreign-architectures) cat "${STANDIN_STATE}/foreign" 2>/dev/null || true ;;
    --add-architecture) echo "$2" >>"${STANDIN_STATE}/foreign" ;;
    esac
    ;;
dpkg-deb) # -x DEB ROOT: a static and a shared library
    log "dpkg-deb $*"
    mkdir -p "$3/usr/lib"
    touch "$3/usr/lib/$(basename "$2" .deb).a" "$3/usr/lib/$(basename "$2" .deb).so.1"
    ;;
chown) log "chown $*" ;;
npm) log "npm $* (in $(basename "$(pwd)"), PUPPETEER_SKIP_DOWNLOAD=${PUPPETEER_SKIP_DOWNLOAD:-})" ;;
node) log "node $*" ;;
cmake)
    log "cmake $*"
    fails cmake && exit 1
    # A configured folder, as cross.sh and windows.sh look for it; a fuzz
    # target built is the fixture's stand-in under the target's name.
    while [ $# -gt 0 ]; do
        if [ "$1" = -B ]; then mkdir -p "$2" && touch "$2/CMakeCache.txt"; fi
        if [ "$1" = --target ] && [[ "$2" == fuzz_* ]]; then
            mkdir -p build-fuzz/fuzz && ln -sf "$PWD/scripts/standin.sh" "build-fuzz/fuzz/$2"
        fi
        shift
    done
    ;;
fuzz_*) # libFuzzer's options, then the corpus folders; its report on stdout
    log "$name $*"
    echo "#4096 pulse cov: 7 ft: 8 corp: 2/9b"
    echo "#8192 DONE cov: 11 ft: 13 corp: 3/12b"
    echo "stat::number_of_executed_units: 8192"
    if fails "$name"; then
        for arg in "$@"; do case "$arg" in -artifact_prefix=*) touch "${arg#-artifact_prefix=}crash-1" ;; esac; done
        echo "==1==ERROR: AddressSanitizer: heap-buffer-overflow"
        exit 1
    fi
    ;;
ctest)
    log "ctest $* (WINEPREFIX ${WINEPREFIX:-none})"
    if fails ctest; then exit 1; fi
    ;;
qemu-aarch64 | qemu-s390x)
    log "$name $*"
    echo "[==========] 3 tests from 2 test suites ran."
    if has qemu "${STANDIN_SKIP:-}"; then echo "[  SKIPPED ] Widget.Spins"; fi
    if fails "$name"; then
        echo "[  FAILED  ] Widget.Turns"
        exit 1
    fi
    echo "[  PASSED  ] 3 tests."
    ;;
*)
    echo "standin: nothing stands in for $name" >&2
    exit 1
    ;;
esac
