#!/usr/bin/env bash
# Makes the two pictures of the README's "Reading the assessment" with the
# program itself: a MIDI song rendered through a General MIDI sound bank is
# the lossless origin; an MP3 of it at 128 kbps decoded back to FLAC is the
# transcode, and the origin through a gentle two-pole low-pass is the genuine
# band-limited file. Both are drawn by korvane-cli spectrogram --annotate.
#   scripts/assessment-pictures.sh [OUTPUT_FOLDER] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
outdir=${1:-docs}
build=${2:-build/debug}
cli="$build/bin/korvane-cli"
[ -x "$cli" ] || { echo "build first: $cli is missing" >&2; exit 1; }
SOUNDFONT=/usr/share/sounds/sf2/FluidR3_GM.sf2
SONG=/usr/share/games/openttd/baseset/openmsx/boogi_marabi_redfarn.mid
for need in "$SOUNDFONT" "$SONG"; do
  [ -e "$need" ] || { echo "missing $need: run scripts/install-deps.sh" >&2; exit 1; }
done
for tool in fluidsynth ffmpeg convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

fluidsynth -ni -q -g 0.6 -r 44100 -F "$work/song.wav" "$SOUNDFONT" "$SONG" >/dev/null 2>&1
ff -ss 10 -t 40 -i "$work/song.wav" -c:a flac "$work/origin.flac"
# The transcode: a 128 kbps MP3 made lossless again.
ff -i "$work/origin.flac" -c:a libmp3lame -b:a 128k "$work/song.mp3"
ff -i "$work/song.mp3" -c:a flac "$work/transcoded.flac"
# The genuine band-limited file: an analogue-like roll-off (two gentle poles
# at 7 kHz), never encoded lossily.
ff -i "$work/origin.flac" -af "lowpass=f=7000:poles=2,lowpass=f=7000:poles=2" -c:a flac \
  "$work/band-limited.flac"

mkdir -p "$outdir"
for name in transcoded band-limited; do
  png="$outdir/assessment-$name.png"
  "$cli" spectrogram "$work/$name.flac" --annotate --size 520x300 -o "$png"
  # A palette keeps the picture small in the repository.
  convert "$png" -colors 128 "PNG8:$png"
  # The exit status follows the verdict: a suspicious file is no failure here.
  report=$("$cli" check --no-cache --format jsonl "$work/$name.flac" || true)
  echo "$report" | sed -n 's/.*"assessment":"\([^"]*\)".*"source":"\([^"]*\)".*/  assessment: \1 \2/p'
  echo "picture: $png ($(stat -c %s "$png") bytes)"
done
