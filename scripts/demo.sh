#!/usr/bin/env bash
# scripts/demo.sh - builds the three plug-ins and zpkhost, then shows what each plug-in offers and
# runs a formula over all three of them on the sample prices (examples/prices.csv), writing a
# chart to build/demo/chart.svg.
#
# Missing Debian packages (cmake, g++, libcli11-dev) are installed when this runs as root or with
# sudo. The build goes to build/demo, without the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

need=(cmake g++ make libcli11-dev)
missing=()
for pkg in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then as_root=(env)
  elif command -v sudo >/dev/null 2>&1; then as_root=(sudo)
  else echo "demo: please install ${missing[*]}" >&2; exit 1
  fi
  "${as_root[@]}" apt-get update -q >/dev/null
  "${as_root[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
fi

cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DZPK_BUILD_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" >/dev/null

zpkhost=build/demo/bin/zpkhost
modules=build/demo/modules
prices=examples/prices.csv

for library in Ambrel Brevane ZENOBAR; do
  echo "== zpkhost info $modules/$library.so"
  "$zpkhost" info "$modules/$library.so"
  echo
done

# One formula per column, over all three plug-ins; the chart shows the last half year of it.
echo "== zpkhost run: channels, moving averages, the cycle period and the look-ahead signal"
"$zpkhost" run --prices "$prices" \
  --module "$modules/Brevane.so" --module "$modules/ZENOBAR.so" --module "$modules/Ambrel.so" \
  'ChannelHigh(close, 1, 0)' 'ChannelLow(close, 1, 0)' 'MyMov(close, 20, Exponential)' \
  'MyMov(BrevanePeriod(close), 10, Exponential)' AmbrelFunc \
  --range 2025-03-01: --chart build/demo/chart.svg > build/demo/formula.csv
# The header and the newest bars, where a trader looks.
head -n 1 build/demo/formula.csv
tail -n 5 build/demo/formula.csv
echo
echo "chart written to build/demo/chart.svg"
