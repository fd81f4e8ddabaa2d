#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The JavaScript package as a user gets it: the dev dependencies from the
# lock file (npm ci: playwright-core, which downloads no browser), the
# WebAssembly module built by the package's own build (roughpi's CMake
# under Debian's emscripten), the Node tests and the browser tests (Debian's
# chromium) with none skipped (but for the comparisons with the native
# program where it is not built), the README's Node example, and a tarball of
# `npm pack` installed into an empty folder and used there.
#
#   .ci/js-check.sh
#
# Needs node and npm (Node.js 20 or later), emscripten, cmake, make and
# chromium. The tests compare with the native roughpi of the README's build
# (build/cli/roughpi) when it is there. Prints the time of each step.
set -euo pipefail

fail() {
    echo "js-check: FAIL: $*" >&2
    exit 1
}
note() { echo "js-check: $*"; }

source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-js.XXXXXX")
trap 'rm -rf "$work"' EXIT
for tool in node npm emcmake cmake chromium; do
    command -v "$tool" >/dev/null || fail "$tool is missing (Debian: nodejs, emscripten, cmake, chromium)"
done
cd "$source_dir/js"
start=$(date +%s)
step_start=$start
step() {
    local now
    now=$(date +%s)
    note "$* ($((now - step_start)) s)"
    step_start=$now
}

npm ci --no-audit --no-fund >"$work/ci.log" 2>&1 || { cat "$work/ci.log"; fail "npm ci failed"; }
step "npm ci"

CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} npm run build >"$work/build.log" 2>&1 ||
    { tail -n 60 "$work/build.log"; fail "npm run build failed"; }
step "npm run build"

# The tests report in TAP here (no terminal): every test must have run.
# The known values stop at 10^14: the README's example below counts 10^15.
status=0
ROUGHPI_JS_KNOWN_MAX=1e14 npm test >"$work/test.log" 2>&1 || status=$?
grep -E '^(not )?ok |^# (tests|pass|fail|skipped|duration_ms) ' "$work/test.log" || true
((status == 0)) || { grep -vE '^\s*(at |\.\.\.)' "$work/test.log" | tail -n 80; fail "npm test failed"; }
# Only the comparisons with the native program may be skipped, where the
# README's build has not made it.
if [[ -x "$source_dir/build/cli/roughpi" ]]; then
    unexpected=$(grep -E '# SKIP' "$work/test.log" || true)
else
    note "no native roughpi in build/: the comparisons with it are skipped"
    unexpected=$(grep -E '# SKIP' "$work/test.log" | grep -v 'the native roughpi is not built' || true)
fi
[[ -z $unexpected ]] || { echo "$unexpected"; fail "tests were skipped"; }
step "npm test (Node and browser)"

# The README's example, from the project's root.
example=$(grep -m1 -E "^node -e 'import\(\"./js/dist/roughpi.mjs\"\)" "$source_dir/README.md") ||
    fail "no Node example in the README"
got=$(cd "$source_dir" && bash -c "$example")
[[ $got == "29844570422669n" ]] || fail "the README's example printed '$got'"
step "the README's example: $got"

# npm pack, installed into an empty folder, counting on workers there.
npm pack --pack-destination "$work" >"$work/pack.log" 2>&1 || { cat "$work/pack.log"; fail "npm pack failed"; }
mkdir "$work/empty"
(cd "$work/empty" && npm install --no-audit --no-fund "$work"/roughpi-*.tgz) >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "npm install of the tarball failed"; }
got=$(cd "$work/empty" && node -e 'import("roughpi").then(async (r) =>
    console.log(await r.primePi("1e13"), await r.nthPrime(10n ** 9n, { threads: 2 }), r.li(10n ** 15n), r.version))')
version=$(sed -nE 's/^project\(roughpi VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
[[ $got == "346065536839n 22801763489n 29844571475287n $version" ]] || fail "the installed tarball printed '$got'"
[[ ! -d "$work/empty/node_modules/playwright-core" ]] || fail "the tarball brought a dependency with it"
step "npm pack, installed into an empty folder: $got"

note "OK in $(($(date +%s) - start)) s"
