#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds roughpi-mpi (-DROUGHPI_MPI=ON) and runs its tests, which start it
# under mpiexec with one to three ranks (ctest -L mpi); then installs the
# build and checks that roughpi-mpi and its manual page are there.
#
#   .ci/mpi.sh [build-dir]      (default: build-mpi)
#
# Needs cmake, g++, GoogleTest and an MPI (Debian: openmpi-bin libopenmpi-dev).
# The tests tell Open MPI that it may run as root and start more ranks than
# there are cores.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-mpi}

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DROUGHPI_MPI=ON -DROUGHPI_BUILD_PERF=OFF
cmake --build "$build_dir" --parallel 2 --target roughpi-mpi roughpi_mpi_tests
ctest --test-dir "$build_dir" -L mpi --output-on-failure

# cmake --install puts roughpi-mpi and its manual page next to roughpi's.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-mpi-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --build "$build_dir" --parallel 2 --target roughpi roughpi_core roughpi_parallel
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
for f in bin/roughpi bin/roughpi-mpi share/man/man1/roughpi.1 share/man/man1/roughpi-mpi.1; do
    [[ -f $prefix/$f ]] || { echo "mpi: FAIL: cmake --install did not install $f" >&2; exit 1; }
done
man -l "$prefix/share/man/man1/roughpi-mpi.1" >/dev/null
echo "mpi: OK: the tests passed, and roughpi-mpi installs with its manual page"
