#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-compiles roughpi-bench for 64-bit Windows with MinGW-w64, runs it under
# Wine and checks the counts it reports for 10^1 ... 10^14.
#
#   .ci/windows-check.sh [build-dir]      (default: build-windows)
#
# A relative build-dir is taken from the current directory. Needs cmake, the
# x86_64-w64-mingw32 g++ and wine64; no display is needed and it runs as root.
# Environment: WINE (wine64 binary), WINE_TIMEOUT (seconds allowed for the run,
# default 900).
set -euo pipefail

fail() {
    echo "windows-check: FAIL: $*" >&2
    exit 1
}

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$script_dir/.." && pwd)
build_dir=${1:-build-windows}
case $build_dir in
    /*) ;;
    *) build_dir=$PWD/$build_dir ;;
esac

# --- wine -------------------------------------------------------------------
wine=${WINE:-}
if [[ -z $wine ]]; then
    if command -v wine64 >/dev/null 2>&1; then
        wine=$(command -v wine64)
    elif [[ -x /usr/lib/wine/wine64 ]]; then
        wine=/usr/lib/wine/wine64
    else
        fail "wine64 not found (install wine64, or set WINE)"
    fi
fi
wineserver=$(dirname "$wine")/wineserver
if [[ ! -x $wineserver ]]; then
    wineserver=$(command -v wineserver || true)
fi

# --- build ------------------------------------------------------------------
seconds_since() { echo $(( $(date +%s) - $1 )); }

start=$(date +%s)
cd "$source_dir"
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DROUGHPI_BUILD_TESTS=OFF -DROUGHPI_WERROR=ON
cmake --build "$build_dir" --parallel
build_seconds=$(seconds_since "$start")

exe=$build_dir/bench/roughpi-bench.exe
[[ -f $exe ]] || fail "build produced no $exe"

# --- throwaway wine prefix ----------------------------------------------------
# No display: Wine falls back to its null driver. The prefix must belong to
# the user running Wine, which a fresh temporary directory does (root too).
work=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-wine.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono / Gecko install prompts
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    if [[ -n ${wineserver:-} ]]; then
        "$wineserver" -k >/dev/null 2>&1 || true   # this prefix's server only
    fi
    rm -rf "$work"
}
trap cleanup EXIT

start=$(date +%s)
if ! "$wine" wineboot --init >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log" >&2
    fail "wineboot could not set up the prefix"
fi
if [[ -n $wineserver ]]; then
    "$wineserver" -w   # let the first-time setup finish before timing the run
fi
wineboot_seconds=$(seconds_since "$start")

# --- run ----------------------------------------------------------------------
# Standard output goes to a file, so the program sees no terminal: it must not
# clear the screen and must leave its warm-up line out of the report.
start=$(date +%s)
status=0
timeout "${WINE_TIMEOUT:-900}" "$wine" "$exe" >"$work/raw.txt" 2>"$work/stderr.txt" || status=$?
run_seconds=$(seconds_since "$start")
tr -d '\r' <"$work/raw.txt" >"$work/report.txt"

echo "----- roughpi-bench.exe under $("$wine" --version 2>/dev/null || echo wine) -----"
cat "$work/report.txt"
echo "----- end of report -----"
if [[ -s $work/stderr.txt ]]; then
    echo "----- standard error -----"
    tr -d '\r' <"$work/stderr.txt"
    echo "----- end of standard error -----"
fi

[[ $status -eq 0 ]] || fail "roughpi-bench.exe exited with status $status"

# --- check --------------------------------------------------------------------
expected=(4 25 168 1229 9592 78498 664579 5761455 50847534 455052511
          4118054813 37607912018 346065536839 3204941750802)
errors=0
input=1
for k in $(seq 1 14); do
    input=${input}0
    want=${expected[k - 1]}
    # The row must start exactly as the Linux build prints it: the input
    # right-aligned in 17 columns, then its exponent.
    prefix=$(printf '%17s(10^%4.1f): ' "$input" "$k")
    rows=$(grep -cF -- "$prefix" "$work/report.txt" || true)
    if [[ $rows -ne 1 ]]; then
        echo "windows-check: row for 10^$k: expected 1 line starting \"$prefix\", found $rows" >&2
        errors=$((errors + 1))
        continue
    fi
    line=$(grep -F -- "$prefix" "$work/report.txt")
    if [[ ${line:0:${#prefix}} != "$prefix" ]]; then
        echo "windows-check: row for 10^$k is misaligned: \"$line\"" >&2
        errors=$((errors + 1))
        continue
    fi
    rest=${line:${#prefix}}
    read -r got _ <<<"$rest"
    if [[ $got != "$want" ]]; then
        echo "windows-check: pi(10^$k): expected $want, got ${got:-nothing}" >&2
        errors=$((errors + 1))
    fi
done

if grep -qF '(10^ 0.5)' "$work/report.txt"; then
    echo "windows-check: the warm-up line is in the report: redirected output was taken for a terminal" >&2
    errors=$((errors + 1))
fi
for label in "Memory for fixed size, input independent precomputed prime factorization wheels: " \
             "Total memory footprint of algorithm during execution: "; do
    if ! grep -qE -- "^${label}-?[0-9]+ bytes\$" "$work/report.txt"; then
        echo "windows-check: no \"${label% }\" line with a byte count" >&2
        errors=$((errors + 1))
    fi
done

# The command-line tool: a count, and a refused argument.
cli=$build_dir/cli/roughpi.exe
if [[ -f $cli ]]; then
    got=$("$wine" "$cli" 1e10 2^32+1 2>/dev/null | tr -d '\r' | tr '\n' ' ')
    if [[ $got != "455052511 203280221 " ]]; then
        echo "windows-check: roughpi.exe 1e10 2^32+1 printed \"$got\"" >&2
        errors=$((errors + 1))
    fi
    cli_status=0
    "$wine" "$cli" abc >/dev/null 2>&1 || cli_status=$?
    if [[ $cli_status -ne 2 ]]; then
        echo "windows-check: roughpi.exe abc exited with $cli_status, not 2" >&2
        errors=$((errors + 1))
    fi
fi

# The estimates: every stored exact floor (tests/core/estimates_values.tsv),
# through roughpi.exe, a few hundred arguments a run.
if [[ -f $cli ]]; then
    mismatches=0
    for fn in li li_inverse riemann_r riemann_r_inverse; do
        option=--${fn//_/-}
        awk -F'\t' -v f="$fn" '$1 == f { print $2 }' "$source_dir/tests/core/estimates_values.tsv" >"$work/args.txt"
        awk -F'\t' -v f="$fn" '$1 == f { print $3 }' "$source_dir/tests/core/estimates_values.tsv" >"$work/want.txt"
        : >"$work/got.txt"
        while IFS= read -r -d '' chunk; do
            # shellcheck disable=SC2086
            "$wine" "$cli" "$option" $chunk 2>>"$work/stderr.txt" | tr -d '\r' >>"$work/got.txt" || true
        done < <(xargs -n 400 echo <"$work/args.txt" | tr '\n' '\0')
        if ! cmp -s "$work/want.txt" "$work/got.txt"; then
            n=$(diff "$work/want.txt" "$work/got.txt" | grep -c '^>' || true)
            echo "windows-check: $option: $n of $(wc -l <"$work/want.txt") values are not the stored floors" >&2
            diff "$work/want.txt" "$work/got.txt" | head -5 >&2
            mismatches=$((mismatches + 1))
        fi
    done
    errors=$((errors + mismatches))
fi

[[ $errors -eq 0 ]] || fail "$errors problem(s) in the report above"

echo "windows-check: OK: pi(10^1) ... pi(10^14) all correct under Wine, roughpi.exe counts and refuses," \
     "and its estimates are the stored exact floors" \
     "(build ${build_seconds}s, wine prefix ${wineboot_seconds}s, run ${run_seconds}s)"
