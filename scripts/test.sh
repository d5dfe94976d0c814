#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   1. the include rule (scripts/check-includes.sh) and the layout check: every C++ file of the
#      tree as clang-format writes it;
#   2. the normal build in build/ of the program and the tests, and every CTest label (unit, gui, peer,
#      netns);
#   3. AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/, labels unit, peer and gui;
#   4. ThreadSanitizer build in build-tsan/ of the thread code (core, net, messaging), labels unit and peer;
#   5. each fuzz target (clang, libFuzzer) for a short time on its seed corpus, one per core at a time.
# Every tree builds only what its stage runs (no benchmarks; the sanitizer trees no netns tests),
# links with lld when it is there, and compiles through ccache when it is installed, so a second
# run rebuilds little.
# Options: --no-format, --no-asan, --no-tsan, --no-fuzz skip a stage. Each stage's time is printed
# at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
format=1; asan=1; tsan=1; fuzz=1
fuzz_seconds=15
for arg in "$@"; do
  case "$arg" in
    --no-format) format=0 ;;
    --no-asan) asan=0 ;;
    --no-tsan) tsan=0 ;;
    --no-fuzz) fuzz=0 ;;
    --tsan) tsan=1 ;; # the stage runs by default; kept for old command lines
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done
jobs=$(nproc)
status=0
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi
timings=()

# stage <name> <command...>: runs one stage, notes its time and whether it failed.
stage() {
  local name=$1; shift
  local start=$SECONDS
  echo "== $name"
  if "$@"; then
    timings+=("$(printf '%-48s %4d s' "$name" $((SECONDS - start)))")
  else
    timings+=("$(printf '%-48s %4d s  FAILED' "$name" $((SECONDS - start)))")
    status=1
  fi
}

sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -- '*.cpp' '*.h'
  else
    find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||'
  fi
}

format_check() {
  sources | xargs -r clang-format --dry-run --Werror
}

build_and_test() {
  cmake -S . -B build -G Ninja >/dev/null
  # The program and the test programs with what they start; the benchmarks are built when measuring.
  # shellcheck disable=SC2046
  cmake --build build -j "$jobs" --target zorvanite-tarnequill $(label_targets build 'unit|gui|peer|netns')
  ctest --test-dir build -j "$jobs" --output-on-failure --timeout 300
}

# The sanitizer trees keep line tables only: a report's stack still names every function and line,
# and the trees compile and link much faster than with full debug information.
line_tables=(-DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1)

# label_targets <build folder> <label regex>: the test executables of those labels in a configured
# tree (with the probes and the program they start, through their dependencies).
label_targets() {
  ninja -C "$1" -t targets all | sed -nE "s/^([a-z_]+_($2)_tests): phony\$/\1/p" | grep -v '^cmake_' | sort
}

asan_stage() {
  cmake -S . -B build-asan -G Ninja -DZT_SANITIZE=ON -DZT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug "${line_tables[@]}" >/dev/null
  # shellcheck disable=SC2046
  cmake --build build-asan -j "$jobs" --target $(label_targets build-asan 'unit|gui|peer')
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j "$jobs" -L 'unit|peer|gui' --output-on-failure --timeout 600
}

# The thread code lives in core, net and messaging; the widget tests run on one thread and are
# covered by the AddressSanitizer stage. Two cancel tests measure a wait against their own bound,
# which the sanitizer's slowdown breaks; they run in the other stages.
tsan_targets="core_unit_tests core_peer_tests net_unit_tests net_peer_tests messaging_unit_tests messaging_peer_tests"
tsan_stage() {
  cmake -S . -B build-tsan -G Ninja -DZT_TSAN=ON -DZT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug "${line_tables[@]}" >/dev/null
  # shellcheck disable=SC2086
  cmake --build build-tsan -j "$jobs" --target $tsan_targets
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp \
    ctest --test-dir build-tsan -j "$jobs" -L 'unit|peer' -R '^(core|net|messaging)\.' \
      -E 'TcpCancel\.AbortEndsASendStuckOnAFullPeer|IcmpSocket\.RaisedCancelSignalEndsAWaitFromAnotherThread' \
      --output-on-failure --timeout 600
}

fuzz_stage() {
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DZT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG" >/dev/null
  local fuzz_targets
  fuzz_targets=$(for f in tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done)
  # shellcheck disable=SC2086
  cmake --build build-fuzz -j "$jobs" --target $fuzz_targets
  # Each target is single-threaded: run one per core at a time.
  local results
  results=$(mktemp -d)
  # shellcheck disable=SC2016
  find build-fuzz/tests/fuzz -maxdepth 1 -name '*_fuzz' -type f -executable | sort |
    xargs -r -P "$jobs" -I{} bash -c '
      target=$1; results=$2; seconds=$3
      name=$(basename "$target" _fuzz)
      work=$(mktemp -d)
      [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$work/"
      if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -artifact_prefix="$work/" "$work" \
          >"$results/$name.log" 2>&1; then
        touch "$results/$name.ok"
      fi
      rm -rf "$work"' _ {} "$results" "$fuzz_seconds"
  local passed=0 failed=0 log name
  for log in "$results"/*.log; do
    [ -e "$log" ] || continue
    name=$(basename "$log" .log)
    if [ -e "$results/$name.ok" ]; then
      passed=$((passed + 1)); echo "fuzz $name: ok"
    else
      failed=$((failed + 1))
      echo "fuzz $name: FAILED"; tail -n 40 "$log"
    fi
  done
  rm -rf "$results"
  echo "fuzz: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

total_start=$SECONDS
stage "install what is missing" ./scripts/install-deps.sh
stage "include rule" ./scripts/check-includes.sh
[ "$format" = 1 ] && stage "layout (clang-format)" format_check
stage "build, all labels" build_and_test
[ "$asan" = 1 ] && stage "AddressSanitizer + UBSan: unit, peer, gui" asan_stage
[ "$tsan" = 1 ] && stage "ThreadSanitizer: core, net, messaging (unit, peer)" tsan_stage
[ "$fuzz" = 1 ] && stage "fuzz targets, $fuzz_seconds s each" fuzz_stage

echo "== stage times"
printf '%s\n' "${timings[@]}"
printf '%-48s %4d s\n' "total" $((SECONDS - total_start))
exit $status
