#!/bin/sh
# Builds everything with AddressSanitizer + UndefinedBehaviorSanitizer and
# runs every test, then the tests that start threads under
# ThreadSanitizer, then runs each fuzz target for a bounded time.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
JOBS=$(nproc)
# The kill tests run 40 rounds each here rather than 200, and the real
# executable plays only the first level to a win (every level's play is
# checked headless): the end-to-end runs get the two cores to themselves,
# and the whole run has to fit its time.
cmake -S "$ROOT" -B "$ROOT/build-test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKODO_SANITIZE=ON \
  -DKODO_KILL_ROUNDS=40 -DKODO_LEVEL_WINS=E01_L01 >/dev/null
# Leaks are checked in every test, with system libraries suppressed
# (tools/lsan.supp); the tests that draw through Mesa turn the check off
# themselves, since its software driver is unloaded before the check and
# leaves nothing to name. The build runs engine tools (font generation)
# under the sanitizers too.
export LSAN_OPTIONS="suppressions=$ROOT/tools/lsan.supp"
ASAN_OPTIONS=detect_leaks=0 cmake --build "$ROOT/build-test" -j"$JOBS"
ASAN_OPTIONS=detect_leaks=0 cmake --build "$ROOT/build-test" -j"$JOBS" --target bench  # benches keep compiling
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$ROOT/build-test" -j"$JOBS" --output-on-failure

# Threads: ThreadSanitizer cannot share a process with AddressSanitizer, so
# the tests labelled "threads" get a tree of their own, which builds only
# them (target thread_tests). A report makes its test fail; races inside
# system libraries are named in tools/tsan.supp.
cmake -S "$ROOT" -B "$ROOT/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKODO_TSAN=ON >/dev/null
cmake --build "$ROOT/build-tsan" -j"$JOBS" --target thread_tests
TSAN_OPTIONS="suppressions=$ROOT/tools/tsan.supp second_deadlock_stack=1" \
  ctest --test-dir "$ROOT/build-tsan" -L threads -j"$JOBS" --output-on-failure

# Fuzzers: clang's libFuzzer, FUZZ_SECONDS each (default 10), as many at
# once as there are cores. An input
# that makes a target allocate more than 512 MB at once, or grow past
# 2 GB, fails the run like a crash. Targets that need a file tree make it
# in a folder of their own under $TMPDIR and remove it at exit; each
# target gets a TMPDIR of its own here, and anything left in it fails the
# run too.
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKODO_FUZZ=ON -DKODO_TESTS=OFF >/dev/null
cmake --build "$ROOT/build-fuzz" -j"$JOBS"
# fuzz_one TARGET: runs one target; a failure leaves a line in $FAILED.
fuzz_one() {
  name=$(basename "$1" | sed 's/^fuzz_//')
  seeds="$ROOT/fuzz/corpus/$name"
  [ -d "$seeds" ] || { echo "fuzz target $name has no seed folder fuzz/corpus/$name" >>"$FAILED"; return; }
  work=$(mktemp -d)
  mkdir "$work/corpus"
  cp "$seeds"/* "$work/corpus"/ 2>/dev/null || true
  mkdir "$work/tmp"
  echo "fuzzing $name for ${FUZZ_SECONDS:-10} s"
  if ! (cd "$work" && TMPDIR="$work/tmp" "$1" -max_total_time="${FUZZ_SECONDS:-10}" -max_len=65536 -rss_limit_mb=2048 \
     -malloc_limit_mb=512 -print_final_stats=0 corpus >"$work/log" 2>&1); then
    { tail -40 "$work/log"; echo "fuzz target $name failed"; } >>"$FAILED"
  elif [ -n "$(ls -A "$work/tmp")" ]; then
    echo "fuzz target $name left files behind: $(ls "$work/tmp")" >>"$FAILED"
  fi
  rm -rf "$work"
}
# One target a core at a time: each is a single process.
# A run that stops early without a line fails too.
FAILED=$(mktemp)
pids=
wait_fuzz() {
  for p in $pids; do wait "$p" || echo "a fuzz run stopped early (status $?)" >>"$FAILED"; done
  pids=
}
for f in "$ROOT"/build-fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  fuzz_one "$f" &
  pids="$pids $!"
  [ "$(echo $pids | wc -w)" -lt "$JOBS" ] || wait_fuzz
done
wait_fuzz
if [ -s "$FAILED" ]; then
  cat "$FAILED"
  rm -f "$FAILED"
  exit 1
fi
rm -f "$FAILED"
echo "all tests and fuzz runs passed"
