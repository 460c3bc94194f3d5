#!/usr/bin/env bash
# Speed and memory figures of korvane-cli on a generated corpus.
# Usage: bench/run.sh BUILD_DIR   (make bench builds the release preset first)
set -euo pipefail
build=${1:-build/release}
cli="$build/bin/korvane-cli"
here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/out/corpus"
mkdir -p "$corpus"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
TIME=/usr/bin/time

# Music-like material: stereo pink noise under a few tones, different per file.
source_graph() { # seconds seed
  echo "anoisesrc=d=$1:c=pink:r=44100:a=0.3:seed=$2[n];sine=f=$((200 + $2 * 37)):d=$1:r=44100[a];sine=f=$((1500 + $2 * 91)):d=$1:r=44100[b];[n][a][b]amix=inputs=3:weights=1 0.3 0.2,aformat=channel_layouts=stereo"
}

make_file() { # name seconds seed codec-options...
  local name=$1 seconds=$2 seed=$3; shift 3
  [ -f "$corpus/$name" ] || ff -f lavfi -i "$(source_graph "$seconds" "$seed")" "$@" "$corpus/$name"
}

echo "Generating the corpus in $corpus (once)..." >&2
files=()
for i in 1 2 3 4; do
  make_file "track$i.mp3" 300 "$i" -c:a libmp3lame -b:a 256k; files+=("$corpus/track$i.mp3")
  make_file "track$i.m4a" 300 "$((i + 10))" -c:a aac -b:a 192k; files+=("$corpus/track$i.m4a")
  make_file "track$i.flac" 300 "$((i + 20))" -c:a flac; files+=("$corpus/track$i.flac")
done
make_file "one-minute.mp3" 60 40 -c:a libmp3lame -b:a 192k
make_file "sixty-minutes.mp3" 3600 41 -c:a libmp3lame -b:a 192k

# Prints "wall user+sys maxrss_kb" of a command.
measure() {
  local log
  log=$(mktemp)
  $TIME -o "$log" -f '%e %U %S %M' "$@" >/dev/null 2>&1 || true
  awk 'END { printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$log"
  rm -f "$log"
}

cores=$(nproc)
read -r cli1_wall cli1_cpu _ < <(measure "$cli" check --jobs 1 --no-cache "${files[@]}")
read -r clin_wall _ _ < <(measure "$cli" check --jobs "$cores" --no-cache "${files[@]}")
ff_cpu=0
for f in "${files[@]}"; do
  read -r _ cpu _ < <(measure ffmpeg -nostdin -threads 1 -i "$f" -f null -)
  ff_cpu=$(awk -v a="$ff_cpu" -v b="$cpu" 'BEGIN { printf "%.2f", a + b }')
done
read -r _ _ rss1 < <(measure "$cli" check --no-cache "$corpus/one-minute.mp3")
read -r _ _ rss60 < <(measure "$cli" check --no-cache "$corpus/sixty-minutes.mp3")

ratio=$(awk -v a="$cli1_cpu" -v b="$ff_cpu" 'BEGIN { printf "%.2f", a / b }')
speedup=$(awk -v a="$cli1_wall" -v b="$clin_wall" 'BEGIN { printf "%.2f", a / b }')
growth=$(( (rss60 - rss1) ))

cat <<TABLE

korvane-cli check on ${#files[@]} files, 60 minutes of audio (MP3 256k, AAC 192k, FLAC)
| measure                                   | figure            | goal        |
|-------------------------------------------|-------------------|-------------|
| CPU s, korvane-cli --jobs 1               | $cli1_cpu         |             |
| CPU s, ffmpeg -threads 1 -f null (sum)    | $ff_cpu           |             |
| CPU ratio korvane / ffmpeg                | $ratio            | <= 1.0      |
| wall s, --jobs 1                          | $cli1_wall        |             |
| wall s, --jobs $cores                          | $clin_wall        |             |
| speed-up on $cores cores                       | ${speedup}x          | >= 1.8x     |
| peak RSS, 1-minute MP3 (KB)               | $rss1             |             |
| peak RSS, 60-minute MP3 (KB)              | $rss60            |             |
| growth with length (KB)                   | $growth           | <= 2048     |
TABLE

# One ten-minute file per common codec beside the ffmpeg tool decoding it
# alone: the whole analysis (second opinion included) against a bare decode.
# CPU times are user+sys, the least of $TEN_ROUNDS alternating runs, so that
# other load on the machine weighs on both sides alike.
make_file "ten-minutes.mp3" 600 50 -c:a libmp3lame -b:a 320k
make_file "ten-minutes.m4a" 600 51 -c:a aac -b:a 256k
make_file "ten-minutes.flac" 600 52 -c:a flac
# Most FLAC music is 16-bit, which decodes faster still than the 24 bits the
# generator gives by default: the analysis weighs more beside it.
make_file "ten-minutes-16bit.flac" 600 53 -sample_fmt s16 -c:a flac
# The child's own resource usage, to the millisecond: time(1) prints hundredths,
# a step of 2-3 % on runs of under half a second.
cpu_of() { # command... -> user+sys seconds
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{r.ru_utime + r.ru_stime:.3f}")' "$@"
}
least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }
echo
echo "korvane-cli check --jobs 1 --no-cache vs ffmpeg -threads 1 -i F -f null -, ten-minute files"
echo "| file                  | korvane CPU s | ffmpeg CPU s | ratio | goal    |"
echo "|-----------------------|---------------|--------------|-------|---------|"
for name in ten-minutes.mp3 ten-minutes.m4a ten-minutes.flac ten-minutes-16bit.flac; do
  f="$corpus/$name"
  kv="" ffc=""
  for _ in $(seq "${TEN_ROUNDS:-3}"); do
    ffc=$(least "$(cpu_of ffmpeg -nostdin -threads 1 -i "$f" -f null -)" "$ffc")
    kv=$(least "$(cpu_of "$cli" check --jobs 1 --no-cache "$f")" "$kv")
  done
  ratio=$(awk -v a="$kv" -v b="$ffc" 'BEGIN { printf "%.2f", a / b }')
  printf '| %-21s | %-13s | %-12s | %-5s | <= 0.95 |\n' "$name" "$kv" "$ffc" "$ratio"
done

if [ -f "$here/spectrogram.sh" ]; then
  bash "$here/spectrogram.sh" "$build"
fi
if [ -x "$here/folder-load.sh" ] && [ -x "$build/bin/korvane-folder-load-bench" ]; then
  bash "$here/folder-load.sh" "$build"
fi
bash "$here/cache.sh" "$build"
if [ -x "$build/bin/korvane-vendor-load" ]; then
  echo
  "$build/bin/korvane-vendor-load" --server "$build/bin/korvane-vendor-server" \
    --work "$here/out/vendor-load" --seconds "${VENDOR_LOAD_SECONDS:-20}" --after-kill 5
fi
if [ -x "$here/labelled/run.sh" ]; then
  bash "$here/labelled/run.sh" "$build"
fi
