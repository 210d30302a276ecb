#!/usr/bin/env bash
# A large song downloaded over loopback by the program's own download and by `curl -s -o`,
# side by side in one run: wall time of each (median of the rounds) and the program's peak
# memory growth during its download.
#   scripts/bench-download.sh [build dir]      (env: SIZE_MIB=256 ROUNDS=5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
bench=$build/bench/song_search/song_download_bench
size=${SIZE_MIB:-256}
rounds=${ROUNDS:-5}
[[ -x $bench ]] || { echo "build the target song_download_bench first ($bench)" >&2; exit 1; }

work=$(mktemp -d)
"$bench" serve "$size" >"$work/port" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.05; done
url="http://127.0.0.1:$(head -1 "$work/port")/down/big.mp3"

now() { date +%s.%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

curl_times=() prog_times=() growth=()
for ((i = 1; i <= rounds; i++)); do
  start=$(now)
  curl -s -o "$work/curl.mp3" "$url"
  curl_times+=("$(echo "$(now) - $start" | bc)")
  rm -f "$work/curl.mp3"

  start=$(now)
  line=$("$bench" fetch "$url" "$work")
  prog_times+=("$(echo "$(now) - $start" | bc)")
  growth+=("$(sed -n 's/.*peak_growth_mib=\([0-9.]*\).*/\1/p' <<<"$line")")
  [[ $line == *saved=yes* ]] || { echo "download failed: $line" >&2; exit 1; }
  rm -rf "$work/下载音乐"
done

curl_median=$(printf '%s\n' "${curl_times[@]}" | median)
prog_median=$(printf '%s\n' "${prog_times[@]}" | median)
growth_max=$(printf '%s\n' "${growth[@]}" | sort -n | tail -1)
echo "file:            $size MiB over loopback, $rounds rounds"
echo "curl -s -o:      ${curl_times[*]} s (median $curl_median)"
echo "program:         ${prog_times[*]} s (median $prog_median)"
echo "ratio:           $(echo "scale=3; $prog_median / $curl_median" | bc) (goal <= 1.1)"
echo "peak RSS growth: ${growth[*]} MiB (max $growth_max, goal <= 32)"
