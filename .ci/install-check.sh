#!/usr/bin/env bash
# Installs roughpi the way a user or a distribution does, and uses it from the
# outside:
#
#   - for the static and for the shared libraries: configure (as on a machine
#     without GoogleTest), build and `cmake --install` to a temporary prefix;
#     check what landed there (and, for the shared libraries, that they
#     export the interface and nothing else); build and run
#     tests/consumers/cmake (find_package) and tests/consumers/c (pkg-config)
#     against it;
#   - build the same CMake consumer with roughpi's sources added by
#     add_subdirectory;
#   - pack the static build with `cpack -G DEB`, install the package with
#     dpkg -i, run `roughpi 1e10`, read `man roughpi`, build the C consumer
#     against /usr, and remove the package again.
#
#   .ci/install-check.sh
#
# Needs cmake, make, g++, pkg-config, binutils, and for the package dpkg-dev
# (dpkg-shlibdeps) and man-db; installing the package needs root. Everything
# else happens in a temporary directory, removed at the end.
set -euo pipefail

fail() {
    echo "install-check: FAIL: $*" >&2
    exit 1
}
note() { echo "install-check: $*"; }

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$script_dir/.." && pwd)
consumers=$source_dir/tests/consumers
start=$(date +%s)

work=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-install.XXXXXX")
package_installed=0
cleanup() {
    if ((package_installed)); then
        dpkg -r roughpi >/dev/null || echo "install-check: could not remove the package roughpi" >&2
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Compiler flags of the consumers: as strict as roughpi's own.
strict=(-Wall -Wextra -Wpedantic -Werror)
version=$(sed -nE 's/^project\(roughpi VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
[[ -n $version ]] || fail "no version in CMakeLists.txt"

# The files an install must hold, relative to the prefix (the library
# directory is found, as GNUInstallDirs chose it).
expect_installed() {
    local prefix=$1 libdir=$2 f
    for f in bin/roughpi include/roughpi.h share/man/man1/roughpi.1 \
             "$libdir/pkgconfig/roughpi.pc" \
             "$libdir/cmake/roughpi/roughpiConfig.cmake" "$libdir/cmake/roughpi/roughpiConfigVersion.cmake" \
             "$libdir/cmake/roughpi/roughpiTargets.cmake"; do
        [[ -f $prefix/$f ]] || fail "$prefix/$f was not installed"
    done
    for f in "$source_dir"/{core,parallel}/include/roughpi/*.{h,hpp}; do
        [[ -f $prefix/include/roughpi/$(basename "$f") ]] || fail "header roughpi/$(basename "$f") was not installed"
    done
    [[ -f $prefix/include/roughpi/version.hpp ]] || fail "the generated roughpi/version.hpp was not installed"
    grep -q "#define ROUGHPI_VERSION \"$version\"" "$prefix/include/roughpi/version.hpp" ||
        fail "the installed version.hpp is not the configured one"
    [[ ! -e $prefix/include/roughpi/version.hpp.in ]] || fail "version.hpp.in was installed"
}

# Every symbol a shared library exports: the public C++ interface (functions
# of namespace roughpi, and its classes' type information and virtual tables)
# and the C interface (roughpi_*), and nothing of the internals: no
# roughpi::detail, no data such as the wheel tables. The one other kind
# allowed is what the standard library's own templates bring along: its
# unique objects (nm type u) and weak instances of its functions (W, in std,
# such as a std::map's), which libstdc++ declares with default visibility
# and every user of the same template shares.
check_exports() {
    local lib=$1 symbols bad
    symbols=$(nm -D --defined-only -C "$lib" | sed -E 's/^[0-9a-fA-F]* *(.) /\1\t/')
    bad=$(grep -vE $'^[TW]\t(roughpi::|roughpi_)' <<<"$symbols" |
          grep -vE $'^V\t(typeinfo for|typeinfo name for|vtable for) roughpi::' |
          grep -vE $'^[uW]\t([A-Za-z_]+ )?std::' || true)
    bad+=$(grep -E 'roughpi::detail|anonymous namespace' <<<"$symbols" || true)
    [[ -z $bad ]] || fail "$(basename "$lib") exports what is not its interface:"$'\n'"$bad"
    note "$(basename "$lib"): $(wc -l <<<"$symbols") exported symbols, all of the interface"
}

for kind in static shared; do
    shared=OFF
    [[ $kind == shared ]] && shared=ON
    build=$work/build-$kind
    prefix=$work/prefix-$kind

    note "--- $kind libraries: build and install to $prefix"
    # As on a machine without GoogleTest and Google Benchmark: the tests and
    # the micro-benchmarks are skipped, with a message.
    cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=$shared \
        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
        -DROUGHPI_WERROR=ON >"$work/configure-$kind.log" ||
        { cat "$work/configure-$kind.log"; fail "configuring the $kind build failed"; }
    # (A shared build says first that the tests need the static libraries.)
    grep -qE 'GoogleTest not found: the tests are not built|Shared libraries: the tests and roughpi-perf' \
        "$work/configure-$kind.log" ||
        fail "configuring without GoogleTest did not say that the tests are not built"
    cmake --build "$build" --parallel 2 >"$work/build-$kind.log" ||
        { cat "$work/build-$kind.log"; fail "the $kind build failed"; }
    cmake --install "$build" --prefix "$prefix" >/dev/null

    libdir=$(sed -nE 's/^libdir=\$\{prefix\}\/(.*)$/\1/p' "$(find "$prefix" -name roughpi.pc)")
    [[ -n $libdir ]] || fail "roughpi.pc has no libdir under the prefix"
    expect_installed "$prefix" "$libdir"
    if [[ $kind == static ]]; then
        for lib in roughpi roughpi_parallel; do
            [[ -f $prefix/$libdir/lib$lib.a ]] || fail "lib$lib.a was not installed"
            [[ ! -e $prefix/$libdir/lib$lib.so ]] || fail "a static build installed lib$lib.so"
        done
    else
        for lib in roughpi roughpi_parallel; do
            so=$prefix/$libdir/lib$lib.so.$version
            [[ -f $so ]] || fail "lib$lib.so.$version was not installed"
            soname=$(readelf -d "$so" | sed -nE 's/.*Library soname: \[(.*)\]/\1/p')
            [[ $soname == "lib$lib.so.${version%.*}" ]] || fail "lib$lib.so has soname '$soname'"
            [[ -L $prefix/$libdir/$soname && -L $prefix/$libdir/lib$lib.so ]] || fail "lib$lib.so's links are missing"
            check_exports "$so"
        done
    fi
    got=$("$prefix/bin/roughpi" 1e10)
    [[ $got == 455052511 ]] || fail "the installed roughpi 1e10 printed '$got'"

    note "--- $kind: CMake consumer (find_package)"
    consumer=$work/consumer-cmake-$kind
    cmake -S "$consumers/cmake" -B "$consumer" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_CXX_FLAGS="${strict[*]}" >"$work/consumer-$kind.log" ||
        { cat "$work/consumer-$kind.log"; fail "configuring the CMake consumer against the $kind install failed"; }
    grep -qF -- "-- roughpi $version from $prefix/" "$work/consumer-$kind.log" ||
        fail "the CMake consumer did not find roughpi $version in $prefix: $(grep -- '-- roughpi' "$work/consumer-$kind.log")"
    cmake --build "$consumer" --parallel 2 >"$work/consumer-build-$kind.log" ||
        { cat "$work/consumer-build-$kind.log"; fail "building the CMake consumer against the $kind install failed"; }
    ctest --test-dir "$consumer" --output-on-failure >"$work/consumer-test-$kind.log" ||
        { cat "$work/consumer-test-$kind.log"; fail "the CMake consumer failed against the $kind install"; }
    linked=$(readelf -d "$consumer/consumer" | grep -c 'NEEDED.*libroughpi' || true)
    if [[ $kind == static ]]; then
        [[ $linked -eq 0 ]] || fail "the consumer of the static install needs a shared libroughpi"
    else
        [[ $linked -eq 2 ]] || fail "the consumer of the shared install needs $linked of the 2 shared libraries"
        if readelf -d "$consumer/consumer_core" | grep -q 'NEEDED.*libroughpi_parallel'; then
            fail "consumer_core, linked to roughpi::core alone, needs libroughpi_parallel"
        fi
    fi

    note "--- $kind: C consumer (pkg-config)"
    export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
    [[ $(pkg-config --modversion roughpi) == "$version" ]] || fail "pkg-config --modversion roughpi is not $version"
    pc_flags=()
    rpath=()
    if [[ $kind == static ]]; then
        pc_flags=(--static)
    else
        rpath=("-Wl,-rpath,$(pkg-config --variable=libdir roughpi)")
    fi
    # shellcheck disable=SC2046  # pkg-config's output is a list of words
    cc -std=c11 "${strict[@]}" -O2 "$consumers/c/main.c" -o "$work/c-consumer-$kind" \
        $(pkg-config "${pc_flags[@]}" --cflags --libs roughpi) "${rpath[@]}" ||
        fail "building the C consumer against the $kind install failed"
    "$work/c-consumer-$kind" "$version" || fail "the C consumer failed against the $kind install"
    unset PKG_CONFIG_PATH
done

note "--- roughpi built inside the CMake consumer (add_subdirectory)"
consumer=$work/consumer-subdirectory
cmake -S "$consumers/cmake" -B "$consumer" -DCMAKE_BUILD_TYPE=Release -DROUGHPI_SOURCE_DIR="$source_dir" \
    -DCMAKE_CXX_FLAGS="${strict[*]}" >"$work/consumer-subdirectory.log" ||
    { cat "$work/consumer-subdirectory.log"; fail "configuring the CMake consumer with roughpi's sources failed"; }
cmake --build "$consumer" --parallel 2 >"$work/consumer-build-subdirectory.log" ||
    { cat "$work/consumer-build-subdirectory.log"; fail "building the CMake consumer with roughpi's sources failed"; }
# roughpi's own tests, programs and install rules stay out of the project.
tests=$(ctest --test-dir "$consumer" -N | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
[[ $tests == 2 ]] || fail "the consumer that builds roughpi has $tests tests, not its own 2"
[[ ! -e $consumer/roughpi/cli/roughpi ]] || fail "the consumer that builds roughpi built the program roughpi too"
grep -q 'roughpiTargets' "$consumer/cmake_install.cmake" "$consumer/roughpi/cmake_install.cmake" &&
    fail "the consumer that builds roughpi installs roughpi's package"
ctest --test-dir "$consumer" --output-on-failure >"$work/consumer-test-subdirectory.log" ||
    { cat "$work/consumer-test-subdirectory.log"; fail "the CMake consumer failed with roughpi's sources"; }

note "--- Debian package"
(cd "$work/build-static" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }
deb=$(find "$work/build-static" -maxdepth 1 -name "roughpi_${version}_*.deb")
[[ -f $deb ]] || fail "cpack made no roughpi_${version}_*.deb"
dpkg-deb -f "$deb" Depends | grep -q libstdc++ || fail "the package does not depend on the C++ runtime"
dpkg-deb -c "$deb" | grep -qE '\./usr/share/man/man1/roughpi\.1' || fail "the package holds no man page"
note "$(basename "$deb"): $(stat -c %s "$deb") bytes, Depends: $(dpkg-deb -f "$deb" Depends)"

if [[ $(id -u) -ne 0 ]]; then
    note "not root: the package is not installed"
else
    if dpkg -s roughpi >/dev/null 2>&1; then
        fail "a package roughpi is installed already; remove it (dpkg -r roughpi) to run this check"
    fi
    dpkg -i "$deb" >"$work/dpkg.log" || { cat "$work/dpkg.log"; fail "dpkg -i $(basename "$deb") failed"; }
    package_installed=1
    got=$(roughpi 1e10)
    [[ $got == 455052511 ]] || fail "roughpi 1e10 from the package printed '$got'"
    [[ $(command -v roughpi) == /usr/bin/roughpi ]] || fail "roughpi is not /usr/bin/roughpi"
    # Minimal systems may tell dpkg to leave out manual pages (path-exclude).
    if grep -hsE '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/* >/dev/null; then
        note "this system's dpkg leaves out /usr/share/man: man roughpi not checked (the package holds the page)"
    else
        page=$(man -w roughpi) || fail "man -w roughpi found no page"
        [[ $page == /usr/share/man/man1/roughpi.1* ]] || fail "man roughpi is $page"
        MANPAGER=cat MANWIDTH=80 man roughpi 2>/dev/null | grep -q 'roughpi - count the primes up to a number' ||
            fail "man roughpi does not show the page"
        MANPAGER=cat MANWIDTH=80 man roughpi 2>/dev/null | grep -qF -- '--threads' ||
            fail "man roughpi does not document --threads"
    fi
    # shellcheck disable=SC2046  # pkg-config's output is a list of words
    cc -std=c11 "${strict[@]}" -O2 "$consumers/c/main.c" -o "$work/c-consumer-deb" \
        $(pkg-config --static --cflags --libs roughpi) || fail "building the C consumer against the package failed"
    "$work/c-consumer-deb" "$version" || fail "the C consumer failed against the package"
    dpkg -r roughpi >/dev/null || fail "dpkg -r roughpi failed"
    package_installed=0
    [[ ! -e /usr/bin/roughpi ]] || fail "dpkg -r roughpi left /usr/bin/roughpi behind"
fi

note "OK: static and shared installs, their CMake and C consumers, add_subdirectory, and the Debian package" \
     "($(($(date +%s) - start)) s)"
