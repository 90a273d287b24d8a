#!/usr/bin/env bash
# scripts/demo.sh - builds the three plug-ins and zpkhost, then shows what each plug-in offers and
# runs its functions over the sample prices (examples/prices.csv).
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

# The last rows of each call: the newest bars are where a trader looks.
show() {
  echo "== zpkhost run $*"
  "$zpkhost" run "$@" | { head -n 1; tail -n 5; }
  echo
}
show "$modules/Ambrel.so" AmbrelFunc --prices "$prices"
show "$modules/Brevane.so" BrevanePeriod --prices "$prices" PriceDataArray=close
show "$modules/Brevane.so" ChannelHigh --prices "$prices" UserPriceArray=close PeriodMultiplier=1 AlternatePeriod=0
show "$modules/Brevane.so" ChannelLow --prices "$prices" UserPriceArray=close PeriodMultiplier=1 AlternatePeriod=20
show "$modules/ZENOBAR.so" MyMov --prices "$prices" DataArray=close Period=20 Method=E
show "$modules/ZENOBAR.so" SumArrays --prices "$prices" "DA Initials=HL"
show "$modules/ZENOBAR.so" SignalVolume --prices "$prices"
