#!/usr/bin/env bash
# scripts/run and scripts/test against stand-ins for cmake and ctest that log
# what they are asked and behave as the real ones do when no test was built:
# run must keep stdout for the program and build apart from the tests, test
# must switch the tests on itself and fail when no test ran.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

mkdir -p "$work/bin" "$work/repo/scripts"
cp "$repo/scripts/run" "$repo/scripts/test" "$work/repo/scripts/"
printf '#!/bin/sh\nexit 0\n' >"$work/repo/scripts/deps.sh" # no package checks here
cat >"$work/bin/cmake" <<'STUB'
#!/bin/sh
echo "cmake $*" >>"$LOG"
echo "[1/2] Building CXX object"
if [ "$1" = "--build" ]; then
    mkdir -p "$2"
    printf '#!/bin/sh\necho program output\n' >"$2/kelvo-cli"
    chmod +x "$2/kelvo-cli"
fi
STUB
cat >"$work/bin/ctest" <<'STUB'
#!/bin/sh
echo "ctest $*" >>"$LOG"
echo "No tests were found!!!"
case "$*" in *--no-tests=error*) exit 8 ;; esac
exit 0
STUB
cat >"$work/bin/nproc" <<'STUB'
#!/bin/sh
echo 2
STUB
chmod +x "$work/repo/scripts/"* "$work/bin/"*
export PATH="$work/bin:$PATH" LOG="$work/log"
unset DISPLAY WAYLAND_DISPLAY # the terminal face: no kelvo is built here
cd "$work/repo"

out=$(scripts/run download 2>/dev/null)
[ "$out" = "program output" ] || fail "scripts/run: stdout holds more than the program's: $out"
run_dir=$(grep -m1 -- ' -B ' "$LOG" | sed 's/.* -B \([^ ]*\).*/\1/')
grep -q -- '--build .*--target .*kelvo_help' "$LOG" ||
    fail "scripts/run does not build the help, so F1 and the About box find none"
: >"$LOG"

if scripts/test >/dev/null 2>&1; then
    fail "scripts/test: succeeded although no test ran"
fi
configure=$(grep -m1 -- ' -B ' "$LOG")
test_dir=$(echo "$configure" | sed 's/.* -B \([^ ]*\).*/\1/')
[ "$run_dir" != "$test_dir" ] || fail "scripts/run and scripts/test share the build folder $run_dir"
case "$configure" in
*-DKELVO_BUILD_TESTS=ON*) ;;
*) fail "scripts/test does not switch the tests on itself: $configure" ;;
esac
echo "scripts behave"
