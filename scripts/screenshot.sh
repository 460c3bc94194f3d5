#!/usr/bin/env bash
# Takes a picture of the main window under a virtual X server: a demo folder
# loaded (scripts/make-demo.sh) and one row chosen, its spectrogram showing.
#   scripts/screenshot.sh [OUTPUT.png] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
build=${2:-build/debug}
harness="$build/bin/korvane-screenshot-harness"
[ -x "$harness" ] || { echo "build first: $harness is missing" >&2; exit 1; }

demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
bash scripts/make-demo.sh "$demo/demo" >/dev/null
mkdir -p "$(dirname "$out")"

xvfb-run -a -s "-screen 0 1500x1000x24 -dpi 96" bash -c '
  set -euo pipefail
  harness=$1 demo=$2 out=$3
  fifo=$(mktemp -u) && mkfifo "$fifo"
  "$harness" "$demo" fake-320kbps.mp3 >"$fifo" &
  pid=$!
  ready=""
  while read -r -t 60 line; do
    case "$line" in READY*) ready=$line; break ;; esac
  done <"$fifo"
  rm -f "$fifo"
  if [ -z "$ready" ]; then kill "$pid" 2>/dev/null; echo "the window did not come up" >&2; exit 1; fi
  set -- $ready
  import -window root -crop "${4}x${5}+${2}+${3}" +repage "$out"
  # A palette keeps the picture small in the repository.
  convert "$out" -colors 192 "PNG8:$out"
  kill "$pid"; wait "$pid" 2>/dev/null || true
' _ "$harness" "$demo/demo" "$out"
echo "screenshot: $out"
