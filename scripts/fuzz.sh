#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), replays the saved reproducers of earlier
# failures, then fuzzes each target for a bounded time on a fresh copy of its
# seed corpus. Fails when any target crashes, leaks, trips a sanitizer or one
# of its own checks; the input that did it is kept for reproduction.
#
# Environment:
#   QUILLMERE_FUZZ_SECONDS    fuzzing time per target in seconds (default 30)
#   QUILLMERE_FUZZ_BUILD_DIR  build directory (default build/fuzz)
#   QUILLMERE_UNITY           ON (default) or OFF: build in unity mode or file by file
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${QUILLMERE_FUZZ_SECONDS:-30}"
build="${QUILLMERE_FUZZ_BUILD_DIR:-build/fuzz}"
targets=(fuzz_envelope fuzz_payloads fuzz_frame_reader fuzz_http_request fuzz_json_rpc
  fuzz_control_request)

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "fuzz: QUILLMERE_FUZZ_SECONDS must be a positive number of seconds" >&2
  exit 2
fi

# Unity mode as in scripts/test.sh: the instrumented libraries compile a few
# large units instead of one per file (QUILLMERE_UNITY=OFF: file by file).
unity="${QUILLMERE_UNITY:-ON}"

echo "== fuzz build ($build)"
cmake --preset fuzz -B "$build" -DQUILLMERE_WERROR=ON -DCMAKE_UNITY_BUILD="$unity" \
  -DCMAKE_UNITY_BUILD_BATCH_SIZE=16
cmake --build "$build" --target "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# The first $2 lines of what went wrong, from a libFuzzer log.
failure_report() {
  local report
  report="$(awk '/^\*\*\* fuzz check|^==[0-9]+== ?ERROR|runtime error|^ALARM/ {shown=1} shown' "$1" |
    head -n "$2")"
  if [ -n "$report" ]; then echo "$report"; else tail -n "$2" "$1"; fi
}

status=0
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  work="$build/fuzz-run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp fuzz/corpus/"$target"/* "$work/corpus/"

  # Inputs that once failed must keep passing; each runs on its own so that
  # every one still failing is named.
  replayed=0
  for input in fuzz/regressions/"$target"/*; do
    [ -f "$input" ] || continue
    replayed=$((replayed + 1))
    log="$work/replay-$(basename "$input").log"
    if ! "$binary" "$input" >"$log" 2>&1; then
      echo "fuzz: $target fails on the reproducer $input (whole log: $log):" >&2
      failure_report "$log" 8 >&2
      status=1
    fi
  done
  echo "== $target: $replayed reproducers replayed"

  # A target with a dictionary of its own (fuzz/<target>.dict) uses it.
  dict="fuzz/$target.dict"
  [ -f "$dict" ] || dict=fuzz/wire.dict

  echo "== $target: fuzzing for ${seconds}s"
  if "$binary" "$work/corpus" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -dict="$dict" -artifact_prefix="$work/artifacts/" -print_final_stats=1 \
      >"$work/fuzz.log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
      "$work/fuzz.log" || true
  else
    echo "fuzz: $target failed (whole log: $work/fuzz.log):" >&2
    failure_report "$work/fuzz.log" 30 >&2
    for artifact in "$work"/artifacts/*; do
      [ -f "$artifact" ] || continue
      echo "fuzz: reproduce with: $binary $artifact" >&2
      echo "fuzz: once understood, keep it in fuzz/regressions/$target/" >&2
    done
    status=1
  fi
done
exit "$status"
