#!/usr/bin/env bash
# Builds roughpi-mpi (-DROUGHPI_MPI=ON) and runs its tests, which start it
# under mpiexec with one to three ranks (ctest -L mpi).
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
