#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Python module as a user gets it: the README's command installs it into
# a virtual environment of Debian's Python (with Debian's packages visible),
# its tests run there with pytest, and a wheel of it installs into a second,
# clean virtual environment and counts there.
#
#   .ci/python-check.sh
#
# Needs Debian's python3 (/usr/bin/python3) with python3-venv, python3-pip,
# python3-dev, python3-setuptools and python3-pybind11; the tests need
# python3-pytest and python3-sympy, and use python3-primecountpy (with
# python3-cysignals-bare) and python3-numpy when they are there. Nothing is
# fetched from the package index.
set -euo pipefail

fail() {
    echo "python-check: FAIL: $*" >&2
    exit 1
}

source_dir=$(cd "$(dirname "$0")/.." && pwd)
python=/usr/bin/python3
work=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-python.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$source_dir"
start=$(date +%s)

# The README's command, in a folder of its own.
install_command=$(grep -m1 -E '^/usr/bin/python3 -m venv .*pip install' README.md)
[[ -n $install_command ]] || fail "no Python install command in the README"
echo "python-check: $install_command"
(cd "$work" && ln -s "$source_dir/python" python && bash -c "$install_command") >"$work/install.log" 2>&1 ||
    { tail -n 40 "$work/install.log"; fail "the README's install command failed"; }
venv=$work/.venv
got=$("$venv/bin/python" -c "import roughpi; print(roughpi.prime_pi(10**15), roughpi.nth_prime(10**12))")
[[ $got == "29844570422669 29996224275833" ]] || fail "the README's example printed '$got'"
install_seconds=$(( $(date +%s) - start ))

# The tests, from outside the source folder so that the installed package is
# the one imported.
start=$(date +%s)
(cd "$work" && "$venv/bin/python" -m pytest -q -p no:cacheprovider "$source_dir/python/tests") ||
    fail "the module's tests failed"
test_seconds=$(( $(date +%s) - start ))

# A wheel, into a clean environment without Debian's packages.
"$venv/bin/pip" wheel --no-build-isolation --no-deps -w "$work/dist" ./python >"$work/wheel.log" 2>&1 ||
    { tail -n 40 "$work/wheel.log"; fail "pip wheel failed"; }
"$python" -m venv "$work/clean"
"$work/clean/bin/pip" install -q --no-index "$work"/dist/roughpi-*.whl
got=$(cd "$work" && "$work/clean/bin/python" -c "import roughpi; print(roughpi.prime_pi(10**12), roughpi.__version__)")
version=$(sed -nE 's/^project\(roughpi VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[[ $got == "37607912018 $version" ]] || fail "the wheel in a clean environment printed '$got'"

echo "python-check: OK: installed by the README's command (${install_seconds}s), tests passed (${test_seconds}s)," \
     "and the wheel works in a clean environment"
