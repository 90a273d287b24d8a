#!/usr/bin/env bash
# scripts/test-all.sh [PRESET...]      build and test every preset (or the ones named)
# scripts/test-all.sh --packages       print the Debian packages every preset needs, and stop
#
# The presets, and where their tests run:
#   default     this machine (x86-64 Linux)
#   linux-i386  32-bit x86 Linux code, under qemu-i386 user-mode emulation
#   win64       64-bit Windows code, under Wine
#   win32       the 32-bit Windows DLLs for the host: checks of the built files (exports, imports,
#               callee-clears returns); 32-bit Windows programs do not run here
#   asan        the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan        the whole suite under ThreadSanitizer
#   memcheck    not a CMake preset: the default build's test programs under valgrind's memcheck
#               (tests/reliability/memcheck.sh)
#   fuzz        every library's libFuzzer target for ZPK_FUZZ_SECONDS (default 60) each
#
# Missing Debian packages are installed when this runs as root or with sudo (apt-get). Where they
# cannot be, the presets that need them are skipped and named at the end, with the reason. In CI
# (CI=true) a missing toolchain is a failure, never a skip.
#
# ZPK_JOBS sets the build and test parallelism (default: the number of processors).
set -uo pipefail
cd "$(dirname "$0")/.."

all_presets=(default asan tsan memcheck fuzz linux-i386 win64 win32)

# Debian packages of each preset. googletest brings the sources the cross builds compile GoogleTest
# from; the native build uses the installed libgtest-dev, and its chart tests of zpkhost read the
# SVG back with expat and draw it with rsvg-convert into a PNG that libpng reads.
packages_for() {
  case "$1" in
    default)    echo cmake g++ make libgtest-dev libgmock-dev libcli11-dev \
                     libexpat1-dev libpng-dev librsvg2-bin ;;
    linux-i386) echo cmake g++ make g++-multilib qemu-user googletest libcli11-dev ;;
    win64)      echo cmake make g++-mingw-w64-x86-64 wine64 googletest libcli11-dev ;;
    win32)      echo cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest libcli11-dev ;;
    asan|tsan)  packages_for default ;;
    memcheck)   echo "$(packages_for default) valgrind" ;;
    fuzz)       echo "$(packages_for default) clang libclang-rt-14-dev" ;;
  esac
}

all_packages() {
  local preset
  for preset in "${all_presets[@]}"; do packages_for "$preset"; done | tr ' ' '\n' | sort -u
}

if [ "${1:-}" = "--packages" ]; then
  all_packages | tr '\n' ' '
  echo
  exit 0
fi

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=("${all_presets[@]}")
for preset in "${presets[@]}"; do
  case " ${all_presets[*]} " in
    *" $preset "*) ;;
    *) echo "test-all: unknown preset '$preset' (known: ${all_presets[*]})" >&2; exit 2 ;;
  esac
done

ci=false
case "${CI:-}" in true|TRUE|True|1|yes) ci=true ;; esac
jobs="${ZPK_JOBS:-$(nproc 2>/dev/null || echo 2)}"

installed() {  # installed PACKAGE: true when dpkg knows it as installed
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# ---- Set-up: install what the chosen presets miss ---------------------------------------------
declare -A skip_reason=()
if command -v dpkg-query >/dev/null 2>&1; then
  missing=()
  for pkg in $(for p in "${presets[@]}"; do packages_for "$p"; done | tr ' ' '\n' | sort -u); do
    installed "$pkg" || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    as_root=()
    if [ "$(id -u)" -eq 0 ]; then
      as_root=(env)
    elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      as_root=(sudo)
    fi
    if [ ${#as_root[@]} -gt 0 ]; then
      echo "test-all: installing ${missing[*]}"
      "${as_root[@]}" apt-get update -q >/dev/null &&
        "${as_root[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
          "${missing[@]}" >/dev/null ||
        echo "test-all: apt-get could not install everything" >&2
    else
      echo "test-all: missing ${missing[*]}, and not root (no password-less sudo either) to install them" >&2
    fi
    for preset in "${presets[@]}"; do
      lacking=()
      for pkg in $(packages_for "$preset"); do
        installed "$pkg" || lacking+=("$pkg")
      done
      [ ${#lacking[@]} -eq 0 ] || skip_reason[$preset]="missing Debian packages: ${lacking[*]}"
    done
  fi
else
  echo "test-all: not a Debian system; building every preset with the tools on PATH" >&2
fi

# ---- Build and test ----------------------------------------------------------------------------
declare -A outcome=()
total_passed=0
total_failed=0

run_preset() {
  local preset=$1 log="build/$1/ctest.log"
  echo
  echo "==== $preset ===================================================================="
  if [ "$preset" = memcheck ]; then
    tests/reliability/memcheck.sh
    return
  fi
  if [ "$preset" = win64 ]; then
    # The Wine prefix of this build folder (made on the first run: about ten seconds).
    export WINEPREFIX="$PWD/build/win64/wine-prefix"
  fi
  cmake --preset "$preset" || return 1
  cmake --build --preset "$preset" -j "$jobs" || return 1
  mkdir -p "build/$preset"
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  # "100% tests passed, 0 tests failed out of 98"
  local line
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    total_failed=$((total_failed + BASH_REMATCH[1]))
    total_passed=$((total_passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  return "$rc"
}

status=0
for preset in "${presets[@]}"; do
  if [ -n "${skip_reason[$preset]:-}" ]; then
    if $ci; then
      outcome[$preset]="FAILED (${skip_reason[$preset]})"
      status=1
    else
      outcome[$preset]="skipped (${skip_reason[$preset]})"
    fi
    continue
  fi
  start=$(date +%s)
  if run_preset "$preset"; then
    outcome[$preset]="passed in $(( $(date +%s) - start )) s"
  else
    outcome[$preset]="FAILED after $(( $(date +%s) - start )) s"
    status=1
  fi
done

echo
echo "==== Summary ===================================================================="
for preset in "${presets[@]}"; do
  printf '  %-11s %s\n' "$preset" "${outcome[$preset]}"
done
echo "Total: $total_passed passed, $total_failed failed"
exit "$status"
