#!/usr/bin/env bash
# Pictures of both tab pages of the real window, rendered on a virtual X server (Xvfb) with the
# system's fonts, saved as docs/screenshot-search.png and docs/screenshot-space.png.
#   scripts/screenshot.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
cmake --build "$build" --target window_screenshot >/dev/null
if [[ $(id -u) -eq 0 ]]; then
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --no-sandbox"
fi
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bench/app/window_screenshot" docs 2> >(grep -v -e '^js:' -e 'sandbox' >&2 || true)
