#!/bin/sh
# wine-run.sh PROGRAM.exe [ARGS...]
#
# Runs a program of the win64 build under Wine as a user's machine would: with a Wine prefix of its
# own (made on first use), and with no WINEPATH, so that a DLL that needs a MinGW runtime DLL fails
# to load here exactly as it would there. The program's exit status is this script's; Wine's own
# messages are silenced, the program's output is passed on unchanged.
#
# WINEPREFIX chooses the prefix (default: a folder in the user's cache). The build's CTest runs use
# this script as CMAKE_CROSSCOMPILING_EMULATOR.
set -eu

wine=""
for candidate in wine64 /usr/lib/wine/wine64 /usr/lib64/wine/wine64 wine; do
  if command -v "$candidate" >/dev/null 2>&1; then
    wine=$(command -v "$candidate")
    break
  fi
done
if [ -z "$wine" ]; then
  echo "wine-run.sh: no wine64 found (Debian: apt-get install wine64)" >&2
  exit 127
fi

unset WINEPATH
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/zpk-wine64}"
# No Mono or Gecko installers at prefix creation, and no window.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

# The first run makes the prefix; runs started at the same time (ctest -j) wait for it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  lock="$WINEPREFIX.lock"
  (
    if command -v flock >/dev/null 2>&1; then
      flock 9
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      wineserver=""
      for candidate in wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
        if command -v "$candidate" >/dev/null 2>&1; then
          wineserver=$(command -v "$candidate")
          break
        fi
      done
      [ -n "$wineserver" ] && "$wineserver" -w || true
    fi
  ) 9>"$lock"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-run.sh: could not make the Wine prefix $WINEPREFIX" >&2
    exit 1
  fi
fi

exec "$wine" "$@"
