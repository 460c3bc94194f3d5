#!/usr/bin/env bash
# Generates a small demo set: a genuine full-band file, a "320 kbps" MP3 made
# from a 128 kbps source, and a 22050 Hz file. Existing files are kept.
set -euo pipefail
out=${1:-demo}
mkdir -p "$out"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# Something closer to music than plain noise: pink noise under a few tones.
src="anoisesrc=d=20:c=pink:r=44100:a=0.35:seed=3[n];sine=f=220:d=20:r=44100[a];sine=f=1760:d=20:r=44100[b];[n][a][b]amix=inputs=3:weights=1 0.3 0.2"

[ -f "$out/genuine.flac" ] || ff -f lavfi -i "$src" -ac 2 -c:a flac "$out/genuine.flac"
if [ ! -f "$out/fake-320kbps.mp3" ]; then
  tmp=$(mktemp --suffix=.mp3)
  ff -f lavfi -i "$src" -ac 2 -c:a libmp3lame -b:a 128k "$tmp"
  ff -i "$tmp" -c:a libmp3lame -b:a 320k "$out/fake-320kbps.mp3"
  rm -f "$tmp"
fi
[ -f "$out/low-rate-22050.mp3" ] || ff -f lavfi -i "$src" -ar 22050 -ac 2 -c:a libmp3lame -b:a 64k "$out/low-rate-22050.mp3"
echo "demo set in $out/"
