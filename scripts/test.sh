#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   0. the include rule (scripts/check-includes.sh);
#   1. the normal build in build/ and every CTest label (unit, gui, peer, netns);
#   2. AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/, labels unit and peer;
#   3. each fuzz target (clang, libFuzzer) for a short time on its seed corpus.
# Options: --no-asan, --no-fuzz skip a stage; --tsan adds a ThreadSanitizer stage (build-tsan/).
set -euo pipefail
cd "$(dirname "$0")/.."
asan=1; fuzz=1; tsan=0
for arg in "$@"; do
  case "$arg" in
    --no-asan) asan=0 ;;
    --no-fuzz) fuzz=0 ;;
    --tsan) tsan=1 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done
jobs=$(nproc)
status=0

./scripts/install-deps.sh

echo "== include rule"
./scripts/check-includes.sh || status=1

echo "== stage 1: build and all tests"
./scripts/build.sh build
ctest --test-dir build -j "$jobs" --output-on-failure --timeout 300 || status=1

if [ "$asan" = 1 ]; then
  echo "== stage 2: AddressSanitizer and UndefinedBehaviorSanitizer, labels unit and peer"
  ./scripts/build.sh build-asan -DZT_SANITIZE=ON -DZT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j "$jobs" -L 'unit|peer' --output-on-failure --timeout 600 || status=1
fi

if [ "$tsan" = 1 ]; then
  echo "== ThreadSanitizer, labels unit and peer"
  ./scripts/build.sh build-tsan -DZT_TSAN=ON -DZT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp \
    ctest --test-dir build-tsan -j "$jobs" -L 'unit|peer' --output-on-failure --timeout 600 || status=1
fi

if [ "$fuzz" = 1 ]; then
  echo "== stage 3: fuzz targets, 15 s each on the seed corpus"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DZT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fuzz_targets=$(for f in tests/fuzz/*_fuzz.cpp; do basename "$f" .cpp; done)
  # shellcheck disable=SC2086
  cmake --build build-fuzz -j "$jobs" --target $fuzz_targets
  fuzz_passed=0; fuzz_failed=0
  for target in build-fuzz/tests/fuzz/*_fuzz; do
    [ -x "$target" ] || continue
    name=$(basename "$target" _fuzz)
    work=$(mktemp -d)
    [ -d "tests/fuzz/corpus/$name" ] && cp -r "tests/fuzz/corpus/$name/." "$work/"
    if "$target" -max_total_time=15 -rss_limit_mb=2048 -artifact_prefix="$work/" "$work" >"$work.log" 2>&1; then
      fuzz_passed=$((fuzz_passed + 1)); echo "fuzz $name: ok"
    else
      fuzz_failed=$((fuzz_failed + 1)); status=1
      echo "fuzz $name: FAILED"; tail -n 40 "$work.log"
    fi
    rm -rf "$work" "$work.log"
  done
  echo "fuzz: $fuzz_passed passed, $fuzz_failed failed"
fi

exit $status
