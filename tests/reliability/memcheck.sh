#!/usr/bin/env bash
# tests/reliability/memcheck.sh [BUILD_DIR]
#
# Runs every test program of a build (default: build/default, configured and built first through
# the default preset) once under valgrind's memcheck: a program fails on any invalid read or write,
# use of uninitialised memory, invalid free, or a definite or indirect leak, as well as on a failed
# test. Each program runs all its tests in one process, which keeps valgrind's start-up cost to one
# per program.
#
# Left out under valgrind, and run by every other preset:
#  - tests that make an allocation fail on purpose (an address-space limit below the scratch a call
#    needs): valgrind's allocator cannot throw std::bad_alloc and aborts the program instead;
#  - tests of a caller with floating-point exceptions unmasked: valgrind does not model unmasked
#    SSE and x87 exceptions (the masks read back as masked), so they cannot hold there.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/default}
if [ $# -eq 0 ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j "${ZPK_JOBS:-$(nproc 2>/dev/null || echo 2)}"
fi
command -v valgrind >/dev/null || { echo "memcheck: valgrind is not installed" >&2; exit 1; }

excluded='*CannotBeObtained*:*NeedsNoScratchMemoryThatGrowsWithTheBars*'
excluded+=':*FloatingPointTrapsMasked*:ZenobarFloatEnvironment.*'
logs="$build/memcheck"
mkdir -p "$logs"

passed=0
failed=0
for program in "$build"/bin/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  name=$(basename "$program")
  [ "$name" = zpkhost ] && continue  # the command itself; its tests run it as a child process
  args=()
  if grep -q -a -- "gtest_filter" "$program"; then
    args=(--gtest_filter="-$excluded")
  fi
  start=$(date +%s)
  rc=0
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect \
       --errors-for-leak-kinds=definite,indirect --track-fds=no --log-file="$logs/$name.valgrind" \
       "$program" "${args[@]}" >"$logs/$name.out" 2>&1 || rc=$?
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
    echo "memcheck: $name passed ($(( $(date +%s) - start )) s)"
  else
    failed=$((failed + 1))
    echo "memcheck: $name FAILED (exit $rc; 99: valgrind found an error)" >&2
    tail -n 40 "$logs/$name.out" >&2
    cat "$logs/$name.valgrind" >&2
  fi
done

echo "memcheck: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
