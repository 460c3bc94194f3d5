#!/usr/bin/env bash
# Writes the fuzzers' seed corpus into DIR (default build/fuzz/corpus): short
# valid files of every extension the program opens, video containers
# included, a few kilobytes each, plus "head" seeds that keep only a file's
# first bytes (its container header) followed by noise, so mutations start
# inside each demuxer rather than at its probe.
set -euo pipefail
out=${1:-build/fuzz/corpus}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# Sound: a tone over noise, short and at a low rate so the files stay small.
tone=(-f lavfi -i "sine=f=3000:r=16000:d=0.2" -f lavfi -i "anoisesrc=r=16000:d=0.2:a=0.02:seed=7"
      -filter_complex "[0][1]amix=inputs=2")
tone48=(-f lavfi -i "sine=f=5000:r=48000:d=0.05,aformat=channel_layouts=stereo")
video=(-f lavfi -i "testsrc=d=0.12:s=16x16:r=25")

audio() { # name, encoder options...
  local name=$1; shift
  ff "${tone[@]}" "$@" "$tmp/$name"
}
audio48() {
  local name=$1; shift
  ff "${tone48[@]}" "$@" "$tmp/$name"
}
movie() { # name, options...
  local name=$1; shift
  ff "${video[@]}" -f lavfi -i "sine=f=2000:r=22050:d=0.2" -map 0:v -map 1:a "$@" "$tmp/$name"
}

audio tone.mp3 -c:a libmp3lame -b:a 32k
audio tone.wma -c:a wmav2 -b:a 32k
audio tone.wav -c:a pcm_s16le
audio tone-u8.wav -c:a pcm_u8
audio tone-ulaw.wav -c:a pcm_mulaw
audio tone-adpcm.wav -c:a adpcm_ms
audio tone-float.wav -c:a pcm_f32le
audio tone.m4a -c:a aac -b:a 32k
audio tone-alac.m4a -c:a alac
audio tone.ogg -c:a libvorbis -q:a 0
audio tone.aiff
audio tone.aac -c:a aac -b:a 32k
audio tone.ac3 -c:a ac3 -b:a 64k
audio48 tone.eac3 -c:a eac3 -b:a 96k
audio tone.mp2 -c:a mp2 -b:a 32k
audio tone.wv -c:a wavpack
audio tone.webm -c:a libopus -b:a 16k
audio tone.flac -c:a flac
audio48 tone-stereo.flac -c:a flac
audio tone.opus -c:a libopus -b:a 16k
audio tone-flac.mkv -c:a flac

movie movie.mp4 -c:v mpeg4 -c:a aac -b:a 32k
movie movie.mkv -c:v mpeg4 -c:a libvorbis -q:a 0
movie movie.avi -c:v mpeg4 -c:a libmp3lame -b:a 32k
movie movie.mpg -c:v mpeg2video -c:a mp2 -b:a 32k
movie movie.mpeg -c:v mpeg1video -c:a mp2 -b:a 32k
movie movie.mov -c:v mpeg4 -c:a pcm_s16be
movie movie.wmv -c:v wmv2 -c:a wmav2 -b:a 32k
movie movie.flv -c:v flv -c:a libmp3lame -b:a 32k -ar 22050
movie movie.f4v -f mp4 -c:v mpeg4 -c:a aac -b:a 32k
movie movie.webm -c:v libvpx -c:a libopus -b:a 16k
movie movie.ts -c:v mpeg2video -c:a ac3 -b:a 64k

seed=1
for f in "$tmp"/*; do
  name=$(basename "$f")
  cp "$f" "$out/$name"
  # The header and then noise: the demuxer is chosen, the rest is anyone's guess.
  noise="$tmp/noise.raw"
  ff -f lavfi -i "anoisesrc=d=0.2:r=8000:seed=$seed" -f u8 "$noise"
  { head -c 256 "$f"; head -c 1024 "$noise"; } >"$out/head-$name"
  rm -f "$noise"
  seed=$((seed + 1))
done
echo "make-corpus: $(ls "$out" | wc -l) seeds in $out, largest $(ls -S "$out" | head -1) ($(stat -c %s "$out/$(ls -S "$out" | head -1)") bytes)"
