#!/bin/sh
# CI's stages, each run whatever the ones before it gave, then a summary
# of their times and of those that failed (the run fails when any did):
#   format     the changed lines follow .clang-format (tools/check-format.sh)
#   asan       everything built with AddressSanitizer + UndefinedBehaviorSanitizer,
#              every test
#   optimised  the Release build (-O3, where GCC's flow-based warnings
#              and some faults show only), its unit tests
#   tsan       the tests that start threads, under ThreadSanitizer
#   fuzz       everything built with clang (the tests too, for clang's
#              warnings), then each fuzz target for a bounded time
# A failing end-to-end run thus never hides the thread and fuzz stages.
# With TEST_FUNCTIONS_ONLY=1 the script, sourced, only defines the stages
# and their helpers (tests/tools/test_fuzz_stage.sh).
ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=$(nproc)
# Tests at a time: half as many again as there are cores. The real
# executable's runs wait on frames and the X server, the kill tests on
# their children, so one a core leaves the cores a third idle (the
# sanitizers' stage took 872 s on two cores one a core, 747 s three at
# once); every run is paced by frames, never the clock, so a fuller
# machine makes them longer, never different.
TEST_JOBS=$((JOBS + (JOBS + 1) / 2))
export LSAN_OPTIONS="suppressions=$ROOT/tools/lsan.supp"

stage_format() {
  sh "$ROOT/tools/check-format.sh"
}

# The kill tests that take their count from the build (the score
# database's, the won level's records', the timeline's) run 40 rounds here
# rather than 200, and the real executable wins no level besides the first
# episode's first and last, which it always plays (every level's play is
# checked headless): the whole run has to fit its time. Leaks are checked
# in every test, with system libraries suppressed (tools/lsan.supp); the
# tests that draw through Mesa turn the check off themselves, since its
# software driver is unloaded before the check and leaves nothing to
# name. The build runs engine tools (font generation) under the
# sanitizers too. GCC 12's sanitizer runtime takes a library's dynamic TLS
# block that happens to start 16 bytes into a page for an old glibc's
# header and reads the words before it as a block to scan; the leak
# check's tracer then dies at exit now and then ("Tracer caught signal
# 11"), with no leak found. Not intercepting __tls_get_addr avoids that
# guess; the blocks stay reachable through the thread's vector of them,
# which the check scans with the thread.
stage_asan() {
  cmake -S "$ROOT" -B "$ROOT/build-test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKODO_SANITIZE=ON \
    -DKODO_KILL_ROUNDS=40 -DKODO_LEVEL_WINS=E01_L01 >/dev/null &&
    ASAN_OPTIONS=detect_leaks=0 cmake --build "$ROOT/build-test" -j"$JOBS" &&
    ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 ctest --test-dir "$ROOT/build-test" -j"$TEST_JOBS" --output-on-failure
}

# Release (-O3): GCC inlines most there, so its flow-based warnings
# (-Werror) find the most; the default build (RelWithDebInfo, -O2) and
# MinSizeRel have so far warned of nothing -O3 did not. The tests that
# need neither a window nor the real executable (the sanitizer stage runs
# those), and the benches, built only.
stage_optimised() {
  cmake -S "$ROOT" -B "$ROOT/build-opt" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$ROOT/build-opt" -j"$JOBS" &&
    cmake --build "$ROOT/build-opt" -j"$JOBS" --target bench &&  # the benches keep compiling
    ctest --test-dir "$ROOT/build-opt" -LE "window|e2e" -j"$TEST_JOBS" --output-on-failure
}

# ThreadSanitizer cannot share a process with AddressSanitizer, so the
# tests labelled "threads" get a tree of their own, which builds only them
# (target thread_tests). A report makes its test fail; races inside
# system libraries are named in tools/tsan.supp.
stage_tsan() {
  cmake -S "$ROOT" -B "$ROOT/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKODO_TSAN=ON >/dev/null &&
    cmake --build "$ROOT/build-tsan" -j"$JOBS" --target thread_tests &&
    TSAN_OPTIONS="suppressions=$ROOT/tools/tsan.supp second_deadlock_stack=1" \
      ctest --test-dir "$ROOT/build-tsan" -L threads -j"$TEST_JOBS" --output-on-failure
}

# Fuzzers: clang's libFuzzer, FUZZ_SECONDS each (default 10), as many at
# once as there are cores. An input that makes a target allocate more than
# 512 MB at once, or grow past 2 GB, fails the run like a crash; the input
# is kept in the targets' folder, crashes/<target>/, and named. Targets
# that need a file tree make it in a folder of their own under $TMPDIR and
# remove it at exit; each target gets a TMPDIR of its own here, and
# anything left in it fails the run too.
# fuzz_one TARGET: runs one target; a failure leaves a line in $FAILED.
fuzz_one() {
  name=$(basename "$1" | sed 's/^fuzz_//')
  seeds="$ROOT/fuzz/corpus/$name"
  [ -d "$seeds" ] || { echo "fuzz target $name has no seed folder fuzz/corpus/$name" >>"$FAILED"; return; }
  work=$(mktemp -d)
  mkdir "$work/corpus"
  cp "$seeds"/* "$work/corpus"/ 2>/dev/null || true
  mkdir "$work/tmp"
  kept="$(dirname "$1")/crashes/$name"
  rm -rf "$kept"
  mkdir -p "$kept"
  echo "fuzzing $name for ${FUZZ_SECONDS:-10} s"
  if ! (cd "$work" && TMPDIR="$work/tmp" "$1" -max_total_time="${FUZZ_SECONDS:-10}" -max_len=65536 -rss_limit_mb=2048 \
     -malloc_limit_mb=512 -print_final_stats=0 -artifact_prefix="$kept/" corpus >"$work/log" 2>&1); then
    { tail -40 "$work/log"; echo "fuzz target $name failed; its input: $(ls -d "$kept"/* 2>/dev/null || echo none kept)"; } >>"$FAILED"
  elif [ -n "$(ls -A "$work/tmp")" ]; then
    echo "fuzz target $name left files behind: $(ls "$work/tmp")" >>"$FAILED"
  fi
  rmdir "$kept" 2>/dev/null
  rm -rf "$work"
}
# One target a core at a time: each is a single process. A run that stops
# early without a line fails too.
wait_fuzz() {
  for p in $pids; do wait "$p" || echo "a fuzz run stopped early (status $?)" >>"$FAILED"; done
  pids=
}
# fuzz_all FOLDER: runs every fuzz_* program in the folder; none fails it.
fuzz_all() {
  FAILED=$(mktemp)
  pids=
  ran=0
  for f in "$1"/fuzz_*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    fuzz_one "$f" &
    pids="$pids $!"
    ran=$((ran + 1))
    [ "$(echo $pids | wc -w)" -lt "$JOBS" ] || wait_fuzz
  done
  wait_fuzz
  [ "$ran" -gt 0 ] || echo "no fuzz target was found in $1" >>"$FAILED"
  status=0
  if [ -s "$FAILED" ]; then
    cat "$FAILED"
    status=1
  fi
  rm -f "$FAILED"
  return $status
}
# The tests are built here too, not run: clang warns of what GCC does not
# (a char as an index), and this tree is clang's already, its libraries
# built for the targets.
stage_fuzz() {
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKODO_FUZZ=ON -DKODO_TESTS=ON >/dev/null || return 1
  cmake --build "$ROOT/build-fuzz" -j"$JOBS" || return 1
  fuzz_all "$ROOT/build-fuzz/fuzz"
}

[ -z "${TEST_FUNCTIONS_ONLY:-}" ] || return 0
"$ROOT/tools/setup.sh" || exit 1

# Runs every stage named (all by default: TEST_STAGES="asan fuzz" picks).
summary=""
failed=""
for s in ${TEST_STAGES:-format asan optimised tsan fuzz}; do
  echo "== stage $s"
  start=$(date +%s)
  if "stage_$s"; then result=passed; else result=FAILED; failed="$failed $s"; fi
  summary="$summary
  $s: $result in $(($(date +%s) - start)) s"
done
echo "== stages (on $JOBS cores, load average $(cut -d' ' -f1-3 /proc/loadavg)):$summary"
if [ -n "$failed" ]; then
  echo "FAILED stages:$failed"
  exit 1
fi
echo "all stages passed"
