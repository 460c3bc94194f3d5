#!/usr/bin/env bash
# Builds the labelled corpus of the assessment benchmark from music with a
# lossless origin: MIDI songs rendered through a sampled General MIDI bank and
# tracker modules rendered by their player. Each clip goes through known
# chains; manifest.csv names every file's true class and chain. Nothing of it
# is committed: it is made here, once, under OUT.
# Usage: make-corpus.sh OUT
set -euo pipefail
out=${1:?output folder}
manifest="$out/manifest.csv"
[ -f "$out/.complete" ] && exit 0
rm -rf "$out/files" "$out/work"
mkdir -p "$out/files" "$out/work"

SOUNDFONT=/usr/share/sounds/sf2/FluidR3_GM.sf2
MIDI_DIR=/usr/share/games/openttd/baseset/openmsx
MOD_DIR=/usr/share/games/tecnoballz/musics
for need in "$SOUNDFONT" "$MIDI_DIR" "$MOD_DIR"; do
  [ -e "$need" ] || { echo "missing $need: run scripts/install-deps.sh" >&2; exit 1; }
done
for tool in fluidsynth openmpt123 sox ffmpeg; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh" >&2; exit 1; }
done

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
CLIP=30 # seconds per clip

# Sources: $1 = id, renders a stereo 32-bit float WAV at rate $2 into $3.
render_midi() { # midi rate out
  local tmp="$out/work/render-$2-$(basename "$1").wav"
  [ -f "$tmp" ] || fluidsynth -ni -q -g 0.5 -r "$2" -F "$tmp" "$SOUNDFONT" "$1" >/dev/null 2>&1
  ff -ss 12 -t "$CLIP" -i "$tmp" -c:a pcm_f32le "$3"
}
render_mod() { # module rate out
  local raw="$out/work/render.f32"
  # --batch: without it the player wants a terminal and prints its usage instead.
  openmpt123 --batch --quiet --stdout --samplerate "$2" --channels 2 --end-time $((CLIP + 8)) \
    "$1" >"$raw" 2>/dev/null
  # Whole stereo float frames only (8 bytes each).
  truncate -s $(($(stat -c %s "$raw") / 8 * 8)) "$raw"
  ff -f f32le -ar "$2" -ac 2 -i "$raw" -ss 8 -t "$CLIP" -c:a pcm_f32le "$3"
}

row() { # file class chain group
  echo "$1,$2,$3,$4" >>"$manifest"
}

echo "file,class,chain,group" >"$manifest"

sources=()
for f in $(ls "$MIDI_DIR"/*.mid | sort | head -n 8); do sources+=("midi:$f"); done
for f in $(ls "$MOD_DIR"/*.mod | sort | head -n 10); do sources+=("mod:$f"); done
# Later additions go last, so every earlier clip keeps its group and chains.
for f in $(ls "$MIDI_DIR"/*.mid | sort | sed -n 9,16p); do sources+=("midi:$f"); done
for f in $(ls "$MOD_DIR"/*.mod | sort | sed -n 11,15p); do sources+=("mod:$f"); done

# Chains rotate with the source, so every chain meets several pieces of music.
mp3_own=("-c:a libmp3lame -b:a 128k|mp3|MP3 128 CBR" "-c:a libmp3lame -q:a 0|mp3|MP3 V0"
         "-c:a libmp3lame -b:a 320k|mp3|MP3 320 CBR" "-c:a libmp3lame -q:a 2|mp3|MP3 V2"
         "-c:a libmp3lame -b:a 192k|mp3|MP3 192 CBR" "-c:a libmp3lame -q:a 5|mp3|MP3 V5"
         "-c:a libmp3lame -b:a 256k|mp3|MP3 256 CBR")
other_own=("-c:a aac -b:a 128k|m4a|AAC 128" "-c:a libvorbis -q:a 5|ogg|Vorbis q5"
           "-c:a libopus -b:a 96k|opus|Opus 96" "-c:a aac -b:a 256k|m4a|AAC 256"
           "-c:a libvorbis -q:a 3|ogg|Vorbis q3" "-c:a libopus -b:a 160k|opus|Opus 160"
           "-c:a aac -b:a 192k|m4a|AAC 192")
# lossy first pass | container of the second | options of the second | label
transcodes=("-c:a libmp3lame -b:a 128k|flac|-c:a flac|MP3 128 -> FLAC"
            "-c:a aac -b:a 160k|mp3|-c:a libmp3lame -b:a 320k|AAC 160 -> MP3 320"
            "-c:a libmp3lame -b:a 128k|ogg|-c:a libvorbis -b:a 192k|MP3 128 -> Vorbis 192"
            "-c:a libopus -b:a 64k|flac|-c:a flac|Opus 64 -> FLAC"
            "-c:a libmp3lame -b:a 128k|mp3|-c:a libmp3lame -b:a 320k|MP3 128 -> MP3 320"
            "-c:a aac -b:a 128k|wav|-c:a pcm_s16le|AAC 128 -> WAV"
            "-c:a libvorbis -b:a 128k|flac|-c:a flac|Vorbis 128 -> FLAC"
            "-c:a libmp3lame -b:a 192k|m4a|-c:a aac -b:a 256k|MP3 192 -> AAC 256"
            "-c:a libmp3lame -q:a 4|flac|-c:a flac|MP3 V4 -> FLAC"
            "-c:a aac -b:a 96k|mp3|-c:a libmp3lame -b:a 256k|AAC 96 -> MP3 256")
# A third transcode per clip: the chains users ask about most.
asked=("-c:a aac -b:a 160k|wav|-c:a pcm_s16le|AAC 160 -> WAV"
       "-c:a libopus -b:a 64k|flac|-c:a flac|Opus 64 -> FLAC"
       "-c:a aac -b:a 160k|mp3|-c:a libmp3lame -b:a 320k|AAC 160 -> MP3 320"
       "-c:a libmp3lame -b:a 128k|ogg|-c:a libvorbis -b:a 192k|MP3 128 -> Vorbis 192"
       "-c:a libmp3lame -b:a 128k|mp3|-c:a libmp3lame -b:a 320k|MP3 128 -> MP3 320")
upsamples=("22050|44100|sox|22.05 -> 44.1 kHz" "32000|48000|sox|32 -> 48 kHz"
           "22050|48000|swr|22.05 -> 48 kHz" "32000|44100|swr|32 -> 44.1 kHz"
           "16000|44100|sox|16 -> 44.1 kHz" "24000|48000|swr|24 -> 48 kHz")

i=0
for s in "${sources[@]}"; do
  kind=${s%%:*}; src=${s#*:}
  name=$(basename "${src%.*}")
  group=tune; [ $((i % 2)) -eq 1 ] && group=holdout
  master="$out/work/$name-44100.wav"
  if [ "$kind" = midi ]; then render_midi "$src" 44100 "$master"; else render_mod "$src" 44100 "$master"; fi
  base="$out/files/$name"

  # Genuine lossless, at 44.1 and at 48 kHz.
  ff -i "$master" -c:a flac -sample_fmt s16 "$base.lossless.flac"
  row "$base.lossless.flac" genuine "lossless FLAC 44.1" "$group"
  m48="$out/work/$name-48000.wav"
  if [ "$kind" = midi ]; then render_midi "$src" 48000 "$m48"; else render_mod "$src" 48000 "$m48"; fi
  ff -i "$m48" -c:a pcm_s24le "$base.lossless48.wav"
  row "$base.lossless48.wav" genuine "lossless WAV 48" "$group"

  # Genuine lossy at its own rate: one MP3, one other codec.
  IFS='|' read -r opts ext label <<<"${mp3_own[$((i % ${#mp3_own[@]}))]}"
  ff -i "$master" $opts "$base.own-mp3.$ext"; row "$base.own-mp3.$ext" genuine "$label" "$group"
  IFS='|' read -r opts ext label <<<"${other_own[$((i % ${#other_own[@]}))]}"
  ff -i "$master" $opts "$base.own-other.$ext"; row "$base.own-other.$ext" genuine "$label" "$group"

  # Transcodes: three chains per clip.
  for k in 0 1 2; do
    if [ $k -lt 2 ]; then
      IFS='|' read -r first ext second label <<<"${transcodes[$(((2 * i + k) % ${#transcodes[@]}))]}"
    else
      IFS='|' read -r first ext second label <<<"${asked[$((i % ${#asked[@]}))]}"
    fi
    tmp="$out/work/$name-first-$k.mkv"
    ff -i "$master" $first "$tmp"
    ff -i "$tmp" $second "$base.transcode$k.$ext"
    row "$base.transcode$k.$ext" transcoded "$label" "$group"
  done

  # Upsampled: the clip reduced to a lower rate, then raised again.
  IFS='|' read -r low high how label <<<"${upsamples[$((i % ${#upsamples[@]}))]}"
  low_wav="$out/work/$name-low.wav"
  if [ "$how" = sox ]; then
    sox -q "$master" -r "$low" "$low_wav"
    sox -q "$low_wav" -b 16 -r "$high" "$base.upsampled.wav"
    ff -i "$base.upsampled.wav" -c:a flac "$base.upsampled.flac"; rm -f "$base.upsampled.wav"
  else
    ff -i "$master" -af aresample="$low" -c:a pcm_f32le "$low_wav"
    ff -i "$low_wav" -af aresample="$high" -c:a flac -sample_fmt s16 "$base.upsampled.flac"
  fi
  row "$base.upsampled.flac" upsampled "$label" "$group"

  # Genuinely band-limited lossless: a steep and a gentle low-pass, a quiet
  # master, and a master made at 96 kHz and resampled with a steep wall.
  case $((i % 4)) in
    0) sox -q "$master" -b 16 "$base.steep.flac" sinc -$((15000 + (i % 5) * 1000))
       row "$base.steep.flac" band-limited "steep low-pass $((15 + i % 5)) kHz" "$group" ;;
    1) sox -q "$master" -b 16 "$base.gentle.flac" lowpass $((9000 + (i % 3) * 2000)) lowpass $((11000 + (i % 3) * 2000))
       row "$base.gentle.flac" band-limited "gentle analogue-like low-pass" "$group" ;;
    2) sox -q "$master" -b 16 "$base.quiet.flac" lowpass -1 14000 vol -28dB dither
       row "$base.quiet.flac" band-limited "quiet softly rolled-off master" "$group" ;;
    3) m96="$out/work/$name-96000.wav"
       if [ "$kind" = midi ]; then render_midi "$src" 96000 "$m96"; else render_mod "$src" 96000 "$m96"; fi
       sox -q "$m96" -b 16 "$base.from96.flac" rate -v -b $((91 + (i % 3) * 3)) 44100 dither
       row "$base.from96.flac" genuine "96 kHz master resampled to 44.1" "$group" ;;
  esac
  i=$((i + 1))
done
rm -rf "$out/work"
touch "$out/.complete"
