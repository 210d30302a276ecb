#!/usr/bin/env bash
# Installs what is missing, builds everything (benchmarks included) and runs every test; then
# builds the test suite again with AddressSanitizer and UndefinedBehaviorSanitizer and runs it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default

cmake --preset asan
cmake --build --preset asan
ctest --preset asan
