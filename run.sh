#!/usr/bin/env bash
# Installs what is missing, builds, starts the bundled sample site on loopback and then the
# program; the site stops when the program ends.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target tingfengxia sample_site

build/default/sample_site/sample_site &
site=$!
trap 'kill "$site" 2>/dev/null || true' EXIT

if [[ $(id -u) -eq 0 ]]; then
  # Chromium, inside Qt WebEngine, will not run as root with its sandbox on.
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --no-sandbox"
fi
build/default/app/tingfengxia
