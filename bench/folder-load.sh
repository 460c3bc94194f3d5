#!/usr/bin/env bash
# A folder of 200 files loaded in the main window (offscreen), analysed on one
# thread and on every core. The rows are the same either way (see the tests);
# only the time differs.
# Usage: bench/folder-load.sh BUILD_DIR
set -euo pipefail
build=${1:-build/release}
bench="$build/bin/korvane-folder-load-bench"
here=$(cd "$(dirname "$0")" && pwd)
folder="$here/out/folder200"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
[ -x "$bench" ] || { echo "missing $bench (build with the GUI)" >&2; exit 1; }

graph() { # seconds seed
  echo "anoisesrc=d=$1:c=pink:r=44100:a=0.3:seed=$2[n];sine=f=$((200 + $2 % 50 * 13)):d=$1:r=44100[a];[n][a]amix=inputs=2:weights=1 0.3,aformat=channel_layouts=stereo"
}
echo "Generating 200 files of 20 s in $folder (once)..." >&2
for i in $(seq 1 200); do
  album="$folder/album$(( (i - 1) / 20 + 1 ))"
  mkdir -p "$album"
  case $(( i % 5 )) in
    0) name="$album/t$i.flac"; opts=(-c:a flac) ;;
    1) name="$album/t$i.m4a"; opts=(-c:a aac -b:a 192k) ;;
    2) name="$album/t$i.ogg"; opts=(-c:a libvorbis -q:a 5) ;;
    *) name="$album/t$i.mp3"; opts=(-c:a libmp3lame -b:a 256k) ;;
  esac
  [ -f "$name" ] || ff -f lavfi -i "$(graph 20 "$i")" "${opts[@]}" "$name"
done

# Multi-gigabyte files, for Stop: three-hour WAVs (about 2 GB each), made by
# looping a minute of noise without re-encoding it.
big="$here/out/big"
mkdir -p "$big"
[ -f "$here/out/minute.wav" ] || ff -f lavfi -i "$(graph 60 7)" "$here/out/minute.wav"
for i in 1 2 3; do
  [ -f "$big/long$i.wav" ] || ff -stream_loop -1 -i "$here/out/minute.wav" -t 10800 -c copy "$big/long$i.wav"
done

cores=$(nproc)
# The window keeps results between runs: every load here starts from an empty
# results cache of its own, or it would time stored results, not analysis.
caches=$(mktemp -d)
trap 'rm -rf "$caches"' EXIT
fresh() { # runs the bench on an empty results cache
  local cache
  cache=$(mktemp -d -p "$caches")
  XDG_CACHE_HOME=$cache "$bench" "$@"
}
fresh "$folder" 1 >/dev/null # warm the file cache
# Fields: threads rows seconds longest-stall-ms stop-ms rows-after-stop
read -r _ rows1 one stall1 _ _ < <(fresh "$folder" 1)
read -r threads rowsn all stalln _ _ < <(fresh "$folder" 0)
read -r _ _ rows_only stall_rows _ _ < <(fresh "$folder" rows)
read -r _ _ _ stall_big stop_ms after_stop < <(fresh "$big" 0 3)
# A second load of the unchanged folder takes the stored results.
kept="$caches/kept"
mkdir -p "$kept"
read -r _ _ first_kept _ _ _ < <(XDG_CACHE_HOME=$kept "$bench" "$folder" 0)
read -r _ _ second_kept stall_kept _ _ < <(XDG_CACHE_HOME=$kept "$bench" "$folder" 0)
rescan=$(awk -v a="$first_kept" -v b="$second_kept" 'BEGIN { printf "%.1f", b / a * 100 }')
speedup=$(awk -v a="$one" -v b="$all" 'BEGIN { printf "%.2f", a / b }')

cat <<TABLE

Main window, Add Folder of $rows1 files (66 minutes of MP3, AAC, Vorbis, FLAC)
| measure                                   | figure            | goal        |
|-------------------------------------------|-------------------|-------------|
| wall s, 1 analysis thread                 | $one              |             |
| wall s, $threads analysis threads (all cores)   | $all              |             |
| speed-up on $cores cores                       | ${speedup}x          | >= 1.8x     |
| wall s, the window alone (no analysis)    | $rows_only              |             |
| longest GUI stall ms, 1 thread            | $stall1           | <= 50       |
| longest GUI stall ms, all cores           | $stalln           | <= 50       |
| longest GUI stall ms, window alone        | $stall_rows       | <= 50       |
| wall s, the same folder again (stored)    | $second_kept      |             |
| second load / first load                  | ${rescan} %        | <= 5 %      |
| longest GUI stall ms, second load         | $stall_kept       | <= 50       |

Stop after 3 s of loading three 2 GB WAVs on all cores
| measure                                   | figure            | goal        |
|-------------------------------------------|-------------------|-------------|
| ms until Stop returned (no row can come)  | $stop_ms          | <= 200      |
| rows listed after Stop                    | $after_stop       | 0           |
| longest GUI stall ms, load and Stop       | $stall_big        | <= 50       |
TABLE
[ "$rows1" = "$rowsn" ] || echo "row counts differ: $rows1 vs $rowsn" >&2
