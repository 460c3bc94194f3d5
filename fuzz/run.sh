#!/usr/bin/env bash
# Builds the fuzz targets (preset `fuzz`) and runs each in turn for SECONDS on
# the generated seed corpus plus what earlier runs found. Crashes, leaks and
# slow inputs are written to build/fuzz/artifacts/ and fail the run.
#   fuzz/run.sh SECONDS [target...]     (default: every target)
# Extra configure arguments may be given in KORVANE_FUZZ_CONFIGURE.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz/run.sh SECONDS [target...]}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(analysis_fuzzer spectrogram_fuzzer)
fi

build=build/fuzz
if [ ! -f "$build/build.ninja" ]; then
  # shellcheck disable=SC2086
  cmake --preset fuzz ${KORVANE_FUZZ_CONFIGURE:-}
fi
cmake --build --preset fuzz --target "${targets[@]}"

if [ ! -d "$build/corpus" ]; then
  bash fuzz/make-corpus.sh "$build/corpus"
fi
mkdir -p "$build/artifacts"

status=0
for target in "${targets[@]}"; do
  found="$build/found-$target"
  mkdir -p "$found"
  echo "fuzz: $target for ${seconds}s"
  # -timeout: an input that takes 10 s is a finding, not a slow machine.
  # -max_len: the largest seeds are about 16 KB.
  if ! nice -n 10 "$build/bin/$target" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=20480 \
      -dict=fuzz/media.dict -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" \
      "$found" "$build/corpus" 2>"$build/$target.log"; then
    status=1
    echo "fuzz: $target FAILED; see $build/$target.log and $build/artifacts/"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$build/$target.log" | head -5 || true
  fi
  grep -E '^(#[0-9]+ *DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' \
    "$build/$target.log" | sed "s/^/  $target: /" || true
done
exit $status
