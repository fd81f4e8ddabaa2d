#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The build with CUDA (-DROUGHPI_CUDA=ON: roughpi_gpu by nvcc for sm_90,
# nvcc's warnings and its host compiler's as errors), and what needs no GPU:
# the device's arithmetic against the core and the host emulation of the
# device against the CPU (ctest -L gpu-host, the 200 random x included), the tests that
# need a device reported skipped, roughpi-gpu-bench --emulate, and
# roughpi --gpu 1e12 on a machine without a device: status 1, what is
# missing on standard error, nothing on standard output. Only what those
# need is built. Prints its time (its budget in CI: 4 minutes on 2 cores).
#
#   .ci/cuda-check.sh [build-dir]      (default: build-cuda)
#
# The build-dir may be an existing Release build with the tests (CI passes
# the README's): configured again with CUDA, it builds roughpi_gpu and what
# uses it, and nothing else anew.
#
# Needs cmake, g++, GoogleTest, and nvcc (CUDA 13.0) at /usr/local/cuda/bin
# or as CUDACXX.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-cuda}
start=$(date +%s)

fail() {
    echo "cuda-check: FAIL: $*" >&2
    exit 1
}

nvcc=${CUDACXX:-/usr/local/cuda/bin/nvcc}
[[ -x $nvcc ]] || fail "no nvcc at $nvcc (set CUDACXX)"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DROUGHPI_CUDA=ON -DROUGHPI_WERROR=ON \
    -DROUGHPI_BUILD_PERF=OFF -DCMAKE_CUDA_COMPILER="$nvcc" >/dev/null
cmake --build "$build_dir" --parallel 2 --target roughpi roughpi-gpu-bench roughpi_gpu_host_tests roughpi_gpu_host_slow_tests \
    roughpi_gpu_device_tests
build_seconds=$(($(date +%s) - start))
ctest --test-dir "$build_dir" -L gpu-host --output-on-failure --parallel 2

# The tests that need a device: skipped where there is none, never passed.
devices=$("$build_dir/tests/roughpi_gpu_device_tests" --gtest_list_tests | grep -c '^  ')
gpu_tests=$(ctest --test-dir "$build_dir" -L '^gpu$' --output-on-failure) || { echo "$gpu_tests"; fail "the gpu tests failed"; }
skipped=$(grep -c '(Skipped)$' <<<"$gpu_tests" || true)

# roughpi-gpu-bench through the emulation, and roughpi --gpu on the device
# or, where there is none, refused as it must be.
bench=$("$build_dir/gpu/roughpi-gpu-bench" --emulate 1e11)
grep -q '^100000000000 *4118054813 ' <<<"$bench" || fail "roughpi-gpu-bench --emulate 1e11 printed: $bench"
status=0
"$build_dir/cli/roughpi" --gpu 1e12 >"$build_dir/gpu-out.txt" 2>"$build_dir/gpu-err.txt" || status=$?
out=$(cat "$build_dir/gpu-out.txt")
err=$(cat "$build_dir/gpu-err.txt")
if ((skipped == devices)); then
    [[ $status == 1 && -z $out && $err == "roughpi: no CUDA device: "* && $(wc -l <<<"$err") == 1 ]] ||
        fail "roughpi --gpu 1e12 without a device: status $status, output '$out', error '$err'"
    echo "cuda-check: no device here: the $devices gpu tests were skipped, and roughpi --gpu 1e12 said: $err"
else
    ((skipped == 0)) || fail "$skipped of the $devices gpu tests were skipped on a machine with a device"
    [[ $status == 0 && $out == 37607912018 ]] || fail "roughpi --gpu 1e12 on the device: status $status, '$out' $err"
fi
echo "cuda-check: OK: built in ${build_seconds} s, all checked in $(($(date +%s) - start)) s"
