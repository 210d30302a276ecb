#!/bin/sh
# Times the text work of a song search: text_bench against plain Python on the same generated
# 1 MiB and 4 MiB result pages, and prints the figures side by side with the ratios that matter.
#   scripts/bench-text.sh [build-dir]      (default: build/default)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
bench=$build/bench/text/text_bench
[ -x "$bench" ] || { echo "no $bench: build the text_bench target first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write_pages="$work"
# Medians of several runs, in CPU time: the figures should not depend on what else the
# machine is doing.
"$bench" --benchmark_format=json --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true >"$work/bench.json"
python3 "$root/scripts/bench_text_pipeline.py" "$work/search-page-1MiB.html" \
  "$work/search-page-4MiB.html" >"$work/python.txt"

python3 - "$work/bench.json" "$work/python.txt" <<'EOF'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
ms = {}
for b in runs:
    if b.get("aggregate_name") != "median":
        continue
    name, size = b["run_name"].split("/")
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    ms[(name, int(size))] = b["cpu_time"] * scale
py = {}
for line in open(sys.argv[2]):
    path, t, blocks = line.split()
    py[4 if "4MiB" in path else 1] = (float(t), int(blocks))

rows = ["BM_UrlDecodeFromUtf8", "BM_BareIcuUtf8ToCp936", "BM_ExtractSongs",
        "BM_FindAbsentMarker", "BM_SearchPagePipeline"]
print(f"{'step (ms per page)':<28}{'1 MiB':>10}{'4 MiB':>10}{'4/1':>8}")
for r in rows:
    a, b = ms[(r, 1)], ms[(r, 4)]
    print(f"{r:<28}{a:>10.3f}{b:>10.3f}{b / a:>8.2f}")
    if (r, 16) in ms:
        print(f"{'  same at 16 MiB':<28}{ms[(r, 16)]:>20.3f}{ms[(r, 16)] / b:>8.2f}  (16/4)")
a, b = py[1][0], py[4][0]
print(f"{'python pipeline':<28}{a:>10.3f}{b:>10.3f}{b / a:>8.2f}")
print(f"(python found {py[1][1]} and {py[4][1]} song blocks)")
print()
for size in (1, 4):
    dec = ms[("BM_UrlDecodeFromUtf8", size)]
    bare = ms[("BM_BareIcuUtf8ToCp936", size)]
    ext = ms[("BM_ExtractSongs", size)]
    pipe = ms[("BM_SearchPagePipeline", size)]
    print(f"{size} MiB: decode / bare conversion = {dec / bare:.2f} (at most 1.5); "
          f"extraction / decode = {ext / dec:.2f} (at most 0.5); "
          f"python / pipeline = {py[size][0] / pipe:.1f} (at least 3)")
EOF
