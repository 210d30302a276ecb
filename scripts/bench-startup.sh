#!/usr/bin/env bash
# Start-up of the window with and without the hidden browser box, side by side on one X
# server (Xvfb): the time from main() to the first show and to the first paint, median of N
# runs each, and the ratio with/without. The browser box is made right after the first paint;
# the time until it is ready is shown as well.
#   scripts/bench-startup.sh [build dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
runs=${2:-10}
cmake --build "$build" --target window_startup >/dev/null
bin=$build/bench/ui/window_startup

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb
if [[ $(id -u) -eq 0 ]]; then
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --no-sandbox"
fi

out=$(mktemp)
"$bin" with-browser >/dev/null 2>&1 || true  # warm the file cache for both
for ((i = 0; i < runs; i++)); do
  "$bin" without-browser 2>/dev/null >>"$out"
  "$bin" with-browser 2>/dev/null >>"$out"
done

python3 - "$out" <<'PY'
import re, statistics, sys
rows = {}
browser = []
for line in open(sys.argv[1]):
    b = re.match(r"browser_ms=([\d.]+)", line)
    if b:
        browser.append(float(b.group(1)))
    m = re.match(r"(\S+) shown_ms=([\d.]+) painted_ms=([\d.]+)", line)
    if m:
        rows.setdefault(m.group(1), []).append((float(m.group(2)), float(m.group(3))))
med = {k: (statistics.median(s for s, _ in v), statistics.median(p for _, p in v)) for k, v in rows.items()}
for k in ("without-browser", "with-browser"):
    print(f"{k:16} runs={len(rows[k])} shown={med[k][0]:.1f} ms  painted={med[k][1]:.1f} ms")
if browser:
    print(f"browser box ready (with-browser): {statistics.median(browser):.1f} ms after start")
print(f"ratio with/without: shown {med['with-browser'][0] / med['without-browser'][0]:.2f}, "
      f"painted {med['with-browser'][1] / med['without-browser'][1]:.2f}")
PY
rm -f "$out"
