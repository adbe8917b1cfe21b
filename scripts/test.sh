#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   1. a build with warnings as errors, all suites under CTest;
#   2. the same with AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. each libFuzzer target for FUZZ_SECONDS (default 30) on its corpus.
# Options: --quick runs step 1 only; --sanitize runs step 2 only;
#          --fuzz runs step 3 only.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/packages.sh
ensure_packages "${quorvane_packages[@]}"

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
passed=0
failed=0

run_suite() { # build-dir, extra cmake args...
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
  local log="$dir/ctest.log"
  set +e
  (cd "$dir" && ctest --output-on-failure -j "$jobs") | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local total fails
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  fails=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n 1)
  passed=$((passed + ${total:-0} - ${fails:-0}))
  failed=$((failed + ${fails:-0}))
  [ "$rc" -eq 0 ] || failed=$((failed > 0 ? failed : 1))
}

run_fuzz() {
  local dir=build-fuzz
  CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVANE_FUZZ=ON -DQUORVANE_WERROR=ON
  cmake --build "$dir" -j "$jobs" --target quorvane_fuzz_targets
  local target
  for target in "$dir"/fuzz/*; do
    [ -x "$target" ] || continue
    local name corpus
    name=$(basename "$target")
    corpus="$root/tests/fuzz/corpus/$name"
    mkdir -p "$corpus"
    echo "fuzzing $name for ${FUZZ_SECONDS:-30} s"
    if "$target" -max_total_time="${FUZZ_SECONDS:-30}" -print_final_stats=1 "$corpus" \
         > "$dir/$name.log" 2>&1; then
      passed=$((passed + 1))
    else
      tail -n 40 "$dir/$name.log"
      failed=$((failed + 1))
    fi
  done
}

mode=${1:-all}
case "$mode" in
  --quick) run_suite build ;;
  --sanitize) run_suite build-asan -DQUORVANE_SANITIZE=ON ;;
  --fuzz) run_fuzz ;;
  all)
    run_suite build
    run_fuzz
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    run_suite build-asan -DQUORVANE_SANITIZE=ON
    ;;
  *) echo "usage: $0 [--quick|--sanitize|--fuzz]" >&2; exit 2 ;;
esac

echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
