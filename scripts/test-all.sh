#!/usr/bin/env bash
# Builds and tests every preset this machine can run. Installs missing Debian packages when it
# runs as root (or with sudo); in CI (CI=true) a missing toolchain is a failure, never a skip.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default
cmake --build --preset default -j "$(nproc)"
ctest --preset default -j "$(nproc)"
