#!/usr/bin/env bash
# Spectrogram speed and memory of korvane-cli against sox, ffmpeg's
# showspectrumpic and plain decoding, on the same generated files.
#
# Usage: bench/spectrogram.sh BUILD_DIR [WORK_DIR]
#   BUILD_DIR  a build tree with bin/korvane-cli (use a release build)
#   WORK_DIR   where the generated files are kept (default BUILD_DIR/bench-spectrogram);
#              files already there are reused
# RUNS=N sets the timed runs per row (default 5). Each figure is the best of
# the runs: on a shared machine the other processes only ever add time.
#
# Goals: faster than both peers, within 1.3x of decode-only, peak memory
# for a 60-minute file within 1024 bytes + 3 x 1024 bytes per column (+10%;
# at most 32768 columns), and at most 400 MB for a 24-hour file.
set -euo pipefail

build=${1:?usage: bench/spectrogram.sh BUILD_DIR [WORK_DIR]}
cli=$build/bin/korvane-cli
work=${2:-$build/bench-spectrogram}
runs=${RUNS:-5}
[ -x "$cli" ] || { echo "no korvane-cli in $build/bin" >&2; exit 2; }
for tool in ffmpeg sox /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 2; }
done
mkdir -p "$work"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
calc() { awk "BEGIN { print $1 }"; }

# Something closer to music than plain noise: pink noise under two tones
# and a slow tremolo, stereo, 44.1 kHz.
music() {
  local seconds=$1
  echo "anoisesrc=d=$seconds:c=pink:r=44100:a=0.3:seed=7,tremolo=f=0.5:d=0.6[n];\
sine=f=220:d=$seconds:r=44100[a];sine=f=1760:d=$seconds:r=44100[b];\
[n][a][b]amix=inputs=3:weights=1 0.3 0.2"
}

make_files() {
  [ -f "$work/music-3min.wav" ] || ff -f lavfi -i "$(music 180)" -ac 2 -c:a pcm_s16le "$work/music-3min.wav"
  [ -f "$work/music-3min.flac" ] || ff -i "$work/music-3min.wav" -c:a flac "$work/music-3min.flac"
  [ -f "$work/music-3min.mp3" ] || ff -i "$work/music-3min.wav" -c:a libmp3lame -b:a 320k "$work/music-3min.mp3"
  [ -f "$work/music-60min.mp3" ] || ff -f lavfi -i "$(music 3600)" -ac 2 -c:a libmp3lame -b:a 192k "$work/music-60min.mp3"
  # A tiny file: the process's own footprint, to tell it from what grows with the file.
  [ -f "$work/tiny.wav" ] || ff -f lavfi -i "sine=f=440:d=0.2:r=44100" -c:a pcm_s16le "$work/tiny.wav"
}

# Runs a command RUNS times; prints the least wall time, CPU time (user +
# system) and peak RSS in KB seen over the runs.
measure() {
  local i out
  for ((i = 0; i < runs; i++)); do
    out=$scratch/time.$i
    /usr/bin/time -f "%e %U %S %M" -o "$out" "$@" >/dev/null 2>"$scratch/stderr" ||
      { echo "failed: $*" >&2; cat "$scratch/stderr" >&2; return 1; }
    tail -n 1 "$out"
  done | awk 'NR == 1 || $1 < w { w = $1 } NR == 1 || $2 + $3 < c { c = $2 + $3 }
              NR == 1 || $4 < m { m = $4 } END { printf "%.3f %.3f %d\n", w, c, m }'
}

row() { # label file command...
  local label=$1 file=$2
  shift 2
  local m
  m=$(measure "$@")
  read -r wall cpu kb <<<"$m"
  printf "%-18s %-16s %8.2f %8.2f %9.1f\n" "$(basename "$file")" "$label" "$wall" "$cpu" "$(calc "$kb / 1024")"
  echo "$wall $cpu" >"$scratch/last"
}

make_files

echo "korvane-cli spectrogram vs peers (best of $runs runs; times in s, peak RSS in MB)"
printf "%-18s %-16s %8s %8s %9s\n" file tool wall cpu peak-MB
# tiny.wav (0.2 s) shows what each tool costs before it reads any sound.
for f in "$work/tiny.wav" "$work/music-3min.wav" "$work/music-3min.flac" "$work/music-3min.mp3"; do
  row "decode-only" "$f" ffmpeg -nostdin -threads 1 -i "$f" -f null -
  read -r decode_wall decode_cpu <"$scratch/last"
  row "korvane 1024x512" "$f" "$cli" spectrogram "$f" -o "$scratch/k.png" --size 1024x512
  read -r korvane_wall korvane_cpu <"$scratch/last"
  row "korvane full" "$f" "$cli" spectrogram "$f" -o "$scratch/kf.png"
  row "sox" "$f" sox "$f" -n spectrogram -o "$scratch/s.png"
  row "ffmpeg showspec" "$f" ffmpeg -nostdin -y -i "$f" -lavfi showspectrumpic=s=1024x512 "$scratch/f.png"
  printf "%-18s %-16s wall %.2fx, cpu %.2fx of decode-only (goal <= 1.30x)\n" "" "korvane 1024x512" \
    "$(calc "$korvane_wall / $decode_wall")" "$(calc "$korvane_cpu / $decode_cpu")"
done

echo
echo "peak memory, 60-minute MP3 at 44.1 kHz"
frames=$(( 3600 * 44100 / 2048 ))
columns=$(( frames < 32768 ? frames : 32768 ))
figure_mb=$(calc "$columns * (1024 + 3 * 1024) / 1048576")
base_kb=$(measure "$cli" spectrogram "$work/tiny.wav" -o "$scratch/t.png" --size 1024x512 | awk '{ print $3 }')
peak_kb=$(runs=1 measure "$cli" spectrogram "$work/music-60min.mp3" -o "$scratch/k60.png" --size 1024x512 | awk '{ print $3 }')
printf "  figure (4096 B/column, %d frames in %d columns): %8.1f MB, +10%%: %.1f MB\n" \
  "$frames" "$columns" "$figure_mb" "$(calc "$figure_mb * 1.1")"
printf "  peak RSS:                                         %8.1f MB\n" "$(calc "$peak_kb / 1024")"
printf "  peak RSS less the process's own (tiny file, %.1f MB): %6.1f MB = %.3f x figure\n" \
  "$(calc "$base_kb / 1024")" "$(calc "($peak_kb - $base_kb) / 1024")" \
  "$(calc "($peak_kb - $base_kb) / 1024 / $figure_mb")"

# A day-long recording: the 60-minute MP3 played 24 times over, stream-copied.
echo
echo "24-hour MP3 (the 60-minute one looped), one run each; goal: peak memory <= 400 MB"
long=$work/music-24h.mp3
[ -f "$long" ] || ff -stream_loop 23 -i "$work/music-60min.mp3" -c copy "$long"
printf "  %-44s %8s %8s %9s\n" "" wall cpu peak-MB
long_row() { # label command...
  local label=$1 m wall cpu kb
  shift
  m=$(runs=1 measure "$@")
  read -r wall cpu kb <<<"$m"
  printf "  %-44s %8.1f %8.1f %9.1f  %s\n" "$label" "$wall" "$cpu" "$(calc "$kb / 1024")" \
    "$(awk -v kb="$kb" 'BEGIN { print (kb <= 400 * 1024 ? "ok" : "OVER") }')"
}
long_row "korvane-cli spectrogram --size 1024x512" "$cli" spectrogram "$long" -o "$scratch/l.png" --size 1024x512
long_row "korvane-cli spectrogram (full resolution)" "$cli" spectrogram "$long" -o "$scratch/lf.png"
long_row "korvane-cli spectrogram --annotate" "$cli" spectrogram "$long" -o "$scratch/la.png" --annotate
window=$build/bin/korvane-window-render-bench
if [ -x "$window" ]; then
  # The 60-minute file's picture stays on show while the day's is drawn.
  out=$("$window" "$work/music-60min.mp3" "$long")
  peak_kb=$(awk '/^peak_kb/ { print $2 }' <<<"$out")
  read -r first_s first_w first_stall < <(sed -n 1p <<<"$out")
  read -r day_s day_w day_stall < <(sed -n 2p <<<"$out")
  close_ms=$(awk '/^close_ms/ { print $2 }' <<<"$out")
  printf "  %-44s %8.1f %8s %9.1f  %s\n" "window: 60-min row, then the 24-hour row" "$day_s" "-" \
    "$(calc "$peak_kb / 1024")" "$(awk -v kb="$peak_kb" 'BEGIN { print (kb <= 400 * 1024 ? "ok" : "OVER") }')"
  printf "  (window pictures %s and %s columns wide; the 60-minute one took %.1f s)\n" "$first_w" "$day_w" "$first_s"
  echo
  echo "The window while it draws (the picture comes from a render thread)"
  printf "  %-44s %9s  %s\n" "" "ms" "goal"
  ok50() { awk -v v="$1" -v g="$2" 'BEGIN { print (v >= 0 && v <= g ? "ok" : "OVER") }'; }
  printf "  %-44s %9.1f  <= 50 %s\n" "longest GUI stall, 60-minute MP3 drawn" "$first_stall" "$(ok50 "$first_stall" 50)"
  printf "  %-44s %9.1f  <= 50 %s\n" "longest GUI stall, 24-hour MP3 drawn" "$day_stall" "$(ok50 "$day_stall" 50)"
  printf "  %-44s %9.1f  <= 100 %s\n" "closing 1 s into a render (stopped, joined)" "$close_ms" "$(ok50 "$close_ms" 100)"
fi
