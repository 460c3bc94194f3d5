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

cores=$(nproc)
# Every load analyses for real: each run gets an empty results cache of its own.
export XDG_CACHE_HOME
fresh_cache() { XDG_CACHE_HOME=$(mktemp -d); }
fresh_cache; "$bench" "$folder" 1 >/dev/null # warm the file cache
fresh_cache; read -r _ rows1 one < <("$bench" "$folder" 1)
fresh_cache; read -r threads rowsn all < <("$bench" "$folder" 0)
fresh_cache; read -r _ _ rows_only < <("$bench" "$folder" rows)
# The same folder loaded twice in one window: the second time from the stored results.
fresh_cache; read -r _ _ first again < <("$bench" "$folder" 0 again)
rescan=$(awk -v a="$first" -v b="$again" 'BEGIN { printf "%.1f", b / a * 100 }')
speedup=$(awk -v a="$one" -v b="$all" 'BEGIN { printf "%.2f", a / b }')

cat <<TABLE

Main window, Add Folder of $rows1 files (66 minutes of MP3, AAC, Vorbis, FLAC)
| measure                                   | figure            | goal        |
|-------------------------------------------|-------------------|-------------|
| wall s, 1 analysis thread                 | $one              |             |
| wall s, $threads analysis threads (all cores)   | $all              |             |
| speed-up on $cores cores                       | ${speedup}x          | >= 1.8x     |
| wall s, the window alone (no analysis)    | $rows_only              |             |
| wall s, first load with the results cache | $first            |             |
| wall s, second load (unchanged files)     | $again            |             |
| second load / first load                  | ${rescan} %         | <= 5 %      |
TABLE
[ "$rows1" = "$rowsn" ] || echo "row counts differ: $rows1 vs $rowsn" >&2
