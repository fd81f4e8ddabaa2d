#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The check of the count on a GPU, for a machine that has one (made for one
# H100 and 16 cores, in under 8 minutes):
#
#   1. the build with CUDA (sm_90, the CUDA runtime linked in), taken from
#      the build folder when it is there, built otherwise;
#   2. the tests labelled gpu (tests/gpu/device_test.cpp), on the device;
#   3. roughpi --gpu --time at 10^12 ... 10^18 and 2^63 - 1, each count
#      checked against the known value (../shared/data/pi_values.tsv or
#      tests/data/pi_values.tsv, and the values below where neither has x);
#   4. the same x on the CPU, roughpi on every core, and primecount 8.7 on
#      every core (peers/primecount-8.7, an ignored folder of the checkout
#      that travels with it, copied from ../shared/peers where that is
#      there), each run within what is left of the budget;
#   5. a table of the times, and the CPU's and primecount's over the GPU's.
#
#   gpu/device-check.sh [--emulate] [--build DIR] [--budget SECONDS]
#
# --emulate needs no device: the device's counts go through its host
# emulation (roughpi --gpu=emulate) at 10^8 ... 10^11 instead, and the gpu
# tests report themselves skipped; for checking this script where there is
# no GPU. DIR defaults to build-device (built there when it lacks roughpi or
# the gpu tests: about a minute and a half on 16 cores). The budget, 420 s
# from the start, build included, is what the runs of steps 3 and 4 may
# take: a run that would pass it is cut short and shown as "> N", so that the
# whole stays under 8 minutes. Exit status 1 when a count is wrong or a test
# fails.
set -euo pipefail
cd "$(dirname "$0")/.."

emulate=0
build_dir=build-device
budget=420
while (($#)); do
    case $1 in
        --emulate) emulate=1 ;;
        --build) build_dir=$2; shift ;;
        --budget) budget=$2; shift ;;
        *) echo "usage: gpu/device-check.sh [--emulate] [--build DIR] [--budget SECONDS]" >&2; exit 2 ;;
    esac
    shift
done

fail() {
    echo "device-check: FAIL: $*" >&2
    exit 1
}

start=$SECONDS
left() { echo $((budget - (SECONDS - start))); }
cores=$(nproc)
roughpi=$build_dir/cli/roughpi
device_tests=$build_dir/tests/roughpi_gpu_device_tests
if [[ ! -x $roughpi || ! -x $device_tests ]]; then
    echo "== building $build_dir (CUDA, sm_90) on $cores cores"
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DROUGHPI_CUDA=ON -DROUGHPI_BUILD_PERF=OFF \
        -DROUGHPI_PI_VALUES="$PWD/tests/data/pi_values.tsv" >/dev/null
    cmake --build "$build_dir" --parallel "$cores" --target roughpi roughpi_gpu_device_tests >/dev/null
fi

# primecount, where it can be had: in the checkout's ignored peers/, which
# travels with it to the machine with the GPU.
primecount=peers/primecount-8.7
if [[ ! -x $primecount && -x ../shared/peers/primecount-8.7 ]]; then
    mkdir -p peers
    cp ../shared/peers/primecount-8.7 ../shared/peers/primecount-COPYING ../shared/peers/primesieve-COPYING peers/
fi

if ((emulate)); then
    gpu_option=--gpu=emulate
    xs=(1e8 1e9 1e10 1e11)
else
    gpu_option=--gpu
    xs=(1e12 1e13 1e14 1e15 1e16 1e17 1e18 2^63-1)
    command -v nvidia-smi >/dev/null && nvidia-smi -L
fi

echo "== the tests labelled gpu"
"$device_tests" --gtest_brief=1 || fail "the gpu tests failed"

# The known value of x: from the table of pi_values.tsv, or these (the
# powers of ten that the table leaves out, and pi(2^63 - 1)).
declare -A known=([1e8]=5761455 [1e9]=50847534 [1e10]=455052511 [1e11]=4118054813 [1e12]=37607912018
                  [1e13]=346065536839 [1e14]=3204941750802 [2^63-1]=216289611853439384)
table=../shared/data/pi_values.tsv
[[ -f $table ]] || table=tests/data/pi_values.tsv
known_value() {
    local digits
    case $1 in
        1e*) digits=$(printf '1%0*d' "${1#1e}" 0) ;;
        *) digits=9223372036854775807 ;;
    esac
    awk -v x="$digits" -F'\t' '$1 == x { print $2; found = 1 } END { if (!found) exit 1 }' "$table" 2>/dev/null ||
        echo "${known[$1]:-}"
}

# The seconds of `roughpi --time ... x` into `result` (its count checked),
# or "> limit" when it ran out of time.
timed_roughpi() {
    local x=$1 limit=$2 expected=$3 out
    shift 3
    if ! out=$(timeout "$limit" "$roughpi" --time "$@" "$x" 2>/dev/null); then
        result="> $limit"
        return
    fi
    [[ ${out%% *} == "$expected" ]] || fail "roughpi $* $x printed '$out', not $expected"
    out=${out##*(}
    result=${out%% s)}
}

# The same of primecount on every core ("-" where it is not there).
timed_primecount() {
    local x=$1 limit=$2 expected=$3 out
    result="-"
    [[ -x $primecount ]] || return 0
    if ! out=$(timeout "$limit" "$primecount" "$x" -t"$cores" --time 2>/dev/null); then
        result="> $limit"
        return
    fi
    [[ $(head -n1 <<<"$out") == "$expected" ]] || fail "primecount $x printed '$out', not $expected"
    result=$(sed -n 's/^Seconds: //p' <<<"$out")
}

ratio() {
    if [[ $1 == ">"* || $2 == ">"* || $1 == "-" || $2 == "-" ]]; then
        echo "-"
    else
        awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'
    fi
}

echo "== the counts on the device ($gpu_option)"
declare -A gpu_seconds
for x in "${xs[@]}"; do
    expected=$(known_value "$x")
    [[ -n $expected ]] || fail "no known value for $x"
    limit=$(( $(left) > 10 ? $(left) : 10 ))
    timed_roughpi "$x" "$limit" "$expected" "$gpu_option"
    gpu_seconds[$x]=$result
    echo "$x: $result s"
done

echo "== the same on the CPU ($cores threads) and with primecount ($cores threads)"
printf '%-8s %20s %10s %10s %12s %9s %9s\n' x "pi(x)" "gpu s" "cpu s" "primecount s" cpu/gpu pc/gpu
for x in "${xs[@]}"; do
    expected=$(known_value "$x")
    cpu="-" peer="-"
    if (($(left) > 5)); then
        timed_roughpi "$x" "$(left)" "$expected" --threads "$cores"
        cpu=$result
    fi
    if (($(left) > 5)); then
        timed_primecount "$x" "$(left)" "$expected"
        peer=$result
    fi
    printf '%-8s %20s %10s %10s %12s %9s %9s\n' "$x" "$expected" "${gpu_seconds[$x]}" "$cpu" "$peer" \
        "$(ratio "$cpu" "${gpu_seconds[$x]}")" "$(ratio "$peer" "${gpu_seconds[$x]}")"
done
echo "device-check: OK: every count matched its known value ($((SECONDS - start)) s in all)"
