#!/usr/bin/env bash
# The assessment on the labelled corpus: confusion tables (true class x
# assessment, and the cutoff verdict beside it) for the tuning half, the
# held-out half and both.
# Usage: bench/labelled/run.sh BUILD_DIR
set -euo pipefail
build=${1:-build/release}
here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/../out/labelled"
bash "$here/make-corpus.sh" "$corpus"
results="$corpus/results.jsonl"
tail -n +2 "$corpus/manifest.csv" | cut -d, -f1 |
  xargs "$build/bin/korvane-cli" check --format jsonl >"$results" || true
python3 "$here/confusion.py" "$corpus/manifest.csv" "$results" --chains
