#!/bin/sh
# tools/test.sh's fuzz runs on stand-ins for libFuzzer targets: a folder
# without a target fails the stage; a target that crashes fails it too,
# and its input, written where libFuzzer writes it (-artifact_prefix, else
# the working folder), is kept where the output names it.
#
#   test_fuzz_stage.sh SOURCE_DIR
set -u
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
TEST_FUNCTIONS_ONLY=1 . "$src/tools/test.sh"
ROOT=$tmp
JOBS=2
mkdir -p "$tmp/fuzz/corpus/fine" "$tmp/fuzz/corpus/crashy" "$tmp/none" "$tmp/targets"
out=$(fuzz_all "$tmp/none") && { echo "$out"; echo "a run of no target passed"; exit 1; }
printf '#!/bin/sh\nexit 0\n' >"$tmp/targets/fuzz_fine"
{
  echo '#!/bin/sh'
  echo 'prefix=./'
  echo 'for a; do case $a in -artifact_prefix=*) prefix=${a#*=} ;; esac; done'
  echo 'echo the-input >"${prefix}crash-1234"'
  echo 'echo "Test unit written to ${prefix}crash-1234"; exit 1'
} >"$tmp/targets/fuzz_crashy"
chmod 755 "$tmp/targets/fuzz_fine" "$tmp/targets/fuzz_crashy"
out=$(fuzz_all "$tmp/targets") && { echo "$out"; echo "a crash passed"; exit 1; }
echo "$out"
kept=$(echo "$out" | sed -n 's/^fuzz target crashy failed; its input: //p')
[ "$(cat "$kept" 2>/dev/null)" = the-input ] || { echo "the crashing input was not kept where the output says"; exit 1; }
echo "the fuzz stage: fails on no target and on a crash, whose input it keeps"
