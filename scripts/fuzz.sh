#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and
# runs each for the given number of seconds, starting from the seed corpus in fuzz/corpus.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
#
# Targets: text_ops extract url_coding url_parts cookies response_head download_name (all when
# none are named). New inputs the fuzzer finds go to <build>/corpus, crashes to
# <build>/artifacts; the build directory is build/fuzz unless TFX_FUZZ_BUILD_DIR says otherwise.
# Ends with a table of executions and time per target; fails when any target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(text_ops extract url_coding url_parts cookies response_head download_name)
fi
build=${TFX_FUZZ_BUILD_DIR:-build/fuzz}
jobs=${TFX_FUZZ_BUILD_JOBS:-2}

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  -DTFX_BUILD_FUZZ=ON -DTFX_BUILD_GUI=OFF -DTFX_BUILD_TESTS=OFF -DTFX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
mkdir -p "$build/artifacts"
summary=()
failed=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  mkdir -p "$work"
  log="$build/fuzz_$t.log"
  echo "== fuzz_$t for ${seconds} s"
  status=0
  "$build/fuzz/fuzz_$t" "$work" "fuzz/corpus/$t" \
    -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/${t}-" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  if ((status != 0)); then
    failed=1
    summary+=("$(printf '%-15s %12s %8s  FAULT (see %s)' "$t" "${runs:-?}" "${took:-?}" "$log")")
    grep -m5 -E 'ERROR|runtime error|property broken|Test unit written' "$log" || true
  else
    summary+=("$(printf '%-15s %12s %8s  no crash' "$t" "${runs:-?}" "${took:-?}")")
  fi
done

printf '\n%-15s %12s %8s  %s\n' target executions seconds outcome
printf '%s\n' "${summary[@]}"
exit "$failed"
