#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A checkpoint moves between builds: one written by the x86-64 gcc build is
# taken up, to the exact count, by the clang build, by the aarch64 build under
# QEMU and by the Windows build under Wine (each from the same half-done file),
# all given the same key with --checkpoint-key (their users' own keys, under
# HOME or APPDATA, would differ).
#
#   .ci/checkpoint-portability.sh GCC-BUILD CLANG-BUILD AARCH64-BUILD WINDOWS-BUILD
#
# Each is a build directory that holds cli/roughpi (cli/roughpi.exe for
# Windows). Needs qemu-user (qemu-aarch64 and Debian's aarch64 sysroot) and
# wine64.
set -euo pipefail

fail() {
    echo "checkpoint-portability: FAIL: $*" >&2
    exit 1
}
[[ $# -eq 4 ]] || fail "usage: $0 GCC-BUILD CLANG-BUILD AARCH64-BUILD WINDOWS-BUILD"
absolute() { (cd "$1" && pwd); }
gcc_build=$(absolute "$1")
clang_build=$(absolute "$2")
aarch64_build=$(absolute "$3")
windows_build=$(absolute "$4")

x=1e14
pi=3204941750802

work=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-portability.XXXXXX")
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

# A key of its own, 16 random bytes in hex; the whole count on x86-64 with
# gcc; then the first half of its lines, as a count stopped half-way would
# have left them.
od -An -tx1 -N16 /dev/urandom | tr -d ' \n' >checkpoint.key
echo >>checkpoint.key
"$gcc_build/cli/roughpi" --checkpoint-key checkpoint.key --checkpoint whole.txt "$x" >/dev/null
lines=$(wc -l <whole.txt)
head -n $((lines / 2)) whole.txt >half.txt
echo "checkpoint-portability: $(head -c 100 half.txt)... ($((lines / 2 - 1)) of $((lines - 1)) pieces)"

resume() {
    local name=$1
    shift
    cp half.txt "$name.txt"
    local got
    got=$("$@" --checkpoint-key checkpoint.key --checkpoint "$name.txt" "$x" | tr -d '\r')
    [[ $got == "$pi" ]] || fail "$name took up the checkpoint and printed '$got', not $pi"
    [[ $(wc -l <"$name.txt") -eq $lines ]] || fail "$name left $(wc -l <"$name.txt") lines, not $lines"
    echo "checkpoint-portability: $name took it up: $got"
}
resume clang "$clang_build/cli/roughpi"
resume aarch64 qemu-aarch64 -L /usr/aarch64-linux-gnu "$aarch64_build/cli/roughpi"
"$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot could not set up a prefix"
resume windows "$wine" "$windows_build/cli/roughpi.exe"
echo "checkpoint-portability: OK"
