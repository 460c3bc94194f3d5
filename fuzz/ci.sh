#!/usr/bin/env bash
# CI step: build the fuzz targets with warnings as errors (so they cannot rot)
# and run each for 60 seconds on the generated seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
KORVANE_FUZZ_CONFIGURE="-DKORVANE_WERROR=ON" exec bash fuzz/run.sh 60
