#!/usr/bin/env bash
# A 32 MiB page fetched over loopback by fetch_text and by `curl -s -o /dev/null`, side by side
# in one run against the same server: wall time of each, median of the rounds.
#   scripts/bench-fetch.sh [build dir]      (env: SIZE_MIB=32 ROUNDS=9)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
bench=$build/bench/web/web_fetch_bench
size=${SIZE_MIB:-32}
rounds=${ROUNDS:-9}
[[ -x $bench ]] || { echo "build the target web_fetch_bench first ($bench)" >&2; exit 1; }

work=$(mktemp -d)
"$bench" serve $((size * 1024 * 1024)) >"$work/url" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s $work/url ]] && break; sleep 0.05; done
url=$(head -1 "$work/url")

now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# One unmeasured round each, so neither side pays for a cold page cache or server.
curl -s -o /dev/null "$url"
"$bench" fetch "$url" >/dev/null

curl_times=() prog_times=()
for ((i = 1; i <= rounds; i++)); do
  start=$(now)
  curl -s -o /dev/null "$url"
  curl_times+=("$(echo "$(now) - $start" | bc)")

  start=$(now)
  got=$("$bench" fetch "$url")
  prog_times+=("$(echo "$(now) - $start" | bc)")
  [[ $got == $((size * 1024 * 1024)) ]] || { echo "fetch_text returned $got bytes" >&2; exit 1; }
done

curl_median=$(printf '%s\n' "${curl_times[@]}" | median)
prog_median=$(printf '%s\n' "${prog_times[@]}" | median)
echo "page:              $size MiB over loopback, $rounds rounds"
echo "curl -s -o null:   ${curl_times[*]} s (median $curl_median)"
echo "fetch_text:        ${prog_times[*]} s (median $prog_median)"
echo "ratio:             $(echo "scale=3; $prog_median / $curl_median" | bc) (goal <= 1.2)"
