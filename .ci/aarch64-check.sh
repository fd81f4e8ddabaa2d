#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-compiles roughpi and its tests for 64-bit ARM Linux (aarch64) with
# Debian's cross g++, and runs the quick tests but the programs' (ctest -LE
# 'slow|programs': the programs' behaviour is the same C++ the native builds
# test, and each of their runs costs a QEMU start; this script and the
# checkpoint portability check run roughpi under QEMU themselves) under
# user-mode QEMU. There the portable counting path is the only one.
#
#   .ci/aarch64-check.sh [build-dir]      (default: build-aarch64)
#
# A relative build-dir is taken from the current directory. Needs cmake,
# g++-aarch64-linux-gnu, qemu-user and googletest (GoogleTest's sources in
# /usr/src/googletest, which are built here for aarch64 into the build
# directory). No binfmt registration is needed: the toolchain file makes QEMU
# the build's emulator, and ctest and the tests start every program through it.
# Environment: GTEST_SOURCE (default /usr/src/googletest).
set -euo pipefail

fail() {
    echo "aarch64-check: FAIL: $*" >&2
    exit 1
}

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$script_dir/.." && pwd)
build_dir=${1:-build-aarch64}
case $build_dir in
    /*) ;;
    *) build_dir=$PWD/$build_dir ;;
esac
toolchain=$source_dir/cmake/aarch64-linux-gnu.cmake
gtest_source=${GTEST_SOURCE:-/usr/src/googletest}
sysroot=/usr/aarch64-linux-gnu

command -v aarch64-linux-gnu-g++ >/dev/null || fail "aarch64-linux-gnu-g++ not found (install g++-aarch64-linux-gnu)"
command -v qemu-aarch64 >/dev/null || fail "qemu-aarch64 not found (install qemu-user)"
[[ -f $gtest_source/CMakeLists.txt ]] || fail "no GoogleTest sources in $gtest_source (install googletest)"

seconds_since() { echo $(( $(date +%s) - $1 )); }

# --- GoogleTest for aarch64, from Debian's sources ----------------------------
start=$(date +%s)
mkdir -p "$build_dir"
gtest_prefix=$build_dir/googletest-install
gtest_log=$build_dir/googletest.log
cmake -S "$gtest_source" -B "$build_dir/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -DCMAKE_INSTALL_PREFIX="$gtest_prefix" \
    >"$gtest_log" 2>&1 || { cat "$gtest_log" >&2; fail "GoogleTest did not configure"; }
{ cmake --build "$build_dir/googletest" --parallel 2 && cmake --install "$build_dir/googletest"; } \
    >>"$gtest_log" 2>&1 || { cat "$gtest_log" >&2; fail "GoogleTest did not build"; }
gtest_seconds=$(seconds_since "$start")

# --- roughpi ------------------------------------------------------------------
start=$(date +%s)
cd "$source_dir"
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DROUGHPI_BUILD_TESTS=ON -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" -DROUGHPI_WERROR=ON
cmake --build "$build_dir" --parallel 2
build_seconds=$(seconds_since "$start")

# The programs must really be aarch64 code (ELF e_machine 183 at offset 18),
# so that the tests below cannot pass by running host code.
for program in cli/roughpi bench/roughpi-bench tests/roughpi_core_tests; do
    machine=$(od -An -t u2 -j 18 -N 2 "$build_dir/$program" | tr -d ' ')
    [[ $machine == 183 ]] || fail "$program is not an aarch64 program (ELF machine $machine)"
done
got=$(qemu-aarch64 -L "$sysroot" "$build_dir/cli/roughpi" 1e10 2^32+1 | tr '\n' ' ')
[[ $got == "455052511 203280221 " ]] || fail "roughpi 1e10 2^32+1 printed \"$got\" under QEMU"

# Only the portable path exists there: the parameterised tests run on it alone.
paths=$(ctest --test-dir "$build_dir" -N | grep -oE 'EveryPath/[A-Za-z]+\.[A-Za-z]+/[a-z0-9]+' |
        sed 's|.*/||' | sort -u | tr '\n' ' ')
[[ $paths == "portable " ]] || fail "expected the portable path alone, the tests list: $paths"

# --- the quick tests under QEMU -------------------------------------------------
start=$(date +%s)
ctest --test-dir "$build_dir" --output-on-failure -LE 'slow|programs' --parallel 2
test_seconds=$(seconds_since "$start")

echo "aarch64-check: OK: quick tests passed under $(qemu-aarch64 --version | head -n1)" \
     "(GoogleTest ${gtest_seconds}s, build ${build_seconds}s, tests ${test_seconds}s)"
