#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang (-DROUGHPI_FUZZ=ON: the fuzzer's
# coverage, AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for
# FUZZ_SECONDS (default 30) from its seed corpus in tests/fuzz/corpus/, to
# which the checkpoint target adds fresh checkpoints of this very build. Any
# crash, hang (10 s on one input), leak or sanitizer report fails it; the
# input that did so is left in the work folder named at the end.
#
#   .ci/fuzz.sh [build-dir]      (default: build-fuzz)
#
# Needs clang with libFuzzer (Debian: clang, libclang-rt-14-dev).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-30}

cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DROUGHPI_FUZZ=ON \
    -DROUGHPI_BUILD_TESTS=OFF -DROUGHPI_BUILD_PERF=OFF
cmake --build "$build_dir" --parallel 2

work=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-fuzz.XXXXXX")
# The checkpoint target reads checkpoints of 10^10 written by this build
# with its key (tests/fuzz/checkpoint_fuzz.cpp): whole, and stopped after a
# few pieces.
mkdir -p "$work/corpus"
cp -r tests/fuzz/corpus/. "$work/corpus/"
echo 000102030405060708090a0b0c0d0e0f >"$work/checkpoint.key"
"$build_dir/cli/roughpi" --checkpoint-key "$work/checkpoint.key" --checkpoint "$work/corpus/checkpoint/fresh-complete" \
    1e10 >/dev/null
head -n 4 "$work/corpus/checkpoint/fresh-complete" >"$work/corpus/checkpoint/fresh-partial"

failed=()
for name in parse_count command_line checkpoint sums_words; do
    echo "== fuzzing $name for $seconds s"
    mkdir -p "$work/$name"
    if ! (cd "$work/$name" &&
          ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
          "$OLDPWD/$build_dir/tests/fuzz/roughpi_fuzz_$name" -max_total_time="$seconds" -timeout=10 \
              -rss_limit_mb=2048 -print_final_stats=1 "$work/corpus/$name" 2>"$work/$name/log.txt"); then
        failed+=("$name")
        tail -n 60 "$work/$name/log.txt"
    fi
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/$name/log.txt" || true
done
if ((${#failed[@]})); then
    echo "fuzz: FAIL: ${failed[*]} (inputs and logs in $work)" >&2
    exit 1
fi
rm -rf "$work"
echo "fuzz: OK: each target ran $seconds s without a finding"
