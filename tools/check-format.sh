#!/bin/sh
# Checks the formatting of the C and C++ lines this branch changed, never
# of whole files: much of the tree predates .clang-format. The base is the
# merge base with main when there is a main to compare with, else the
# commit's first parent; a checkout with neither (a single commit) has
# nothing to compare and passes with a line saying so.
cd "$(dirname "$0")/.."
command -v git-clang-format >/dev/null || { echo "format: git-clang-format not installed; not checked"; exit 0; }
base=""
if git rev-parse -q --verify main >/dev/null && [ "$(git rev-parse HEAD)" != "$(git rev-parse main)" ]; then
  base=$(git merge-base HEAD main)
fi
[ -n "$base" ] || base=$(git rev-parse -q --verify HEAD~1) || true
[ -n "$base" ] || { echo "format: no base commit to compare with; not checked"; exit 0; }
out=$(git clang-format -q --diff --extensions c,cc,cpp,h,hpp "$base" 2>&1) || { echo "$out"; exit 1; }
if printf '%s\n' "$out" | grep -q '^diff --git'; then
  printf '%s\n' "$out"
  echo "format: the changed lines above differ from .clang-format (apply with: git clang-format $base)"
  exit 1
fi
echo "format: the lines changed since $(git rev-parse --short "$base") follow .clang-format"
