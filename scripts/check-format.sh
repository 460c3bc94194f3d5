#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it.
# `make format` rewrites them; CI runs this check.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "check-format: the files above are not formatted; run 'make format'" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
