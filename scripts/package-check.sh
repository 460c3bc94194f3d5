#!/usr/bin/env bash
# Builds the .deb, installs it on this machine (apt-get resolves what it
# declares) and runs the installed programs from /usr/bin: what a user of the
# package meets. Needs root, as CI has.
set -euo pipefail
cd "$(dirname "$0")/.."

make package
deb=$(ls build/package/korvane_*.deb)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
# --reinstall: a machine that kept an earlier build of the same version
# still gets this one.
$SUDO apt-get install --reinstall -y -qq "./$deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/korvane-cli --version
test -f /usr/lib/korvane/license.txt
test -f /usr/lib/korvane/Languages/LanguageCodes.csv
desktop-file-validate /usr/share/applications/korvane.desktop

# A full-band noise file must come out OK with an empty reason, with a CSV
# line naming it (the assessment's fields follow the reason).
mkdir -p "$work/album"
ffmpeg -loglevel error -y -f lavfi -i "anoisesrc=d=2:r=44100:a=0.3" "$work/album/01 noise.wav"
out=$(/usr/bin/korvane-cli check --format csv "$work/album")
echo "$out"
grep -q '/album/01 noise.wav,[0-9]*,44100,[0-9.]*,false,OK,false,,clean,' <<<"$out"

# The window starts from the link with a folder to load and keeps running
# until it is stopped.
status=0
QT_QPA_PLATFORM=offscreen timeout 10 /usr/bin/korvane "$work/album" || status=$?
if [ "$status" -ne 124 ]; then
  echo "package-check: the installed window ended by itself (status $status)" >&2
  exit 1
fi
echo "package-check: the installed package works"
