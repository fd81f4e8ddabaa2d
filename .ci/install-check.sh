#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs roughpi the way a user or a distribution does, and uses it from the
# outside:
#
#   - for the static and for the shared libraries: configure (as on a machine
#     without GoogleTest; the shared build, which the Debian packages are
#     made of, for /usr and with Debian's hardening flags), build and
#     `cmake --install` to a temporary prefix; check what landed there (and,
#     for the shared libraries, that they export the interface and nothing
#     else); build and run against it tests/consumers/cmake (find_package),
#     tests/consumers/c (pkg-config roughpi, as C89, C99 and C11, and its
#     header as C++98 and C++20) and tests/consumers/cmake/main.cpp as a C++
#     program through pkg-config roughpi++, with and without --static;
#   - build the same CMake consumer with roughpi's sources added by
#     add_subdirectory;
#   - pack both builds with `cpack -G DEB` (libroughpi, libroughpi-dev and
#     roughpi; a static build has no libroughpi), check the packages' fields
#     and files, their copyright files and compressed manual pages (man -l),
#     and run lintian on them (an error fails the check); install the shared
#     build's three with dpkg -i, run `roughpi 1e10`, read `man roughpi`,
#     build the C, C++ and CMake consumers against /usr, and remove the
#     packages again.
#
#   .ci/install-check.sh
#
# Needs cmake, make, g++, pkg-config, binutils, and for the packages dpkg-dev
# (dpkg-shlibdeps, dpkg-buildflags), lintian (without it, and outside CI, the
# packages are not linted) and man-db; installing the packages needs root.
# Everything else happens in a temporary directory, removed at the end.
set -euo pipefail

fail() {
    echo "install-check: FAIL: $*" >&2
    exit 1
}
note() { echo "install-check: $*"; }
# A section's heading, with the seconds since the start.
section() { note "--- $* ($(($(date +%s) - start)) s)"; }

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$script_dir/.." && pwd)
consumers=$source_dir/tests/consumers
start=$(date +%s)

work=$(mktemp -d "${TMPDIR:-/tmp}/roughpi-install.XXXXXX")
packages=(roughpi libroughpi-dev libroughpi)
package_installed=0
cleanup() {
    if ((package_installed)); then
        dpkg -P "${packages[@]}" >/dev/null || echo "install-check: could not remove the packages ${packages[*]}" >&2
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
    for f in bin/roughpi include/roughpi.h share/man/man1/roughpi.1 share/doc/roughpi/LICENSE \
             "$libdir/pkgconfig/roughpi.pc" "$libdir/pkgconfig/roughpi++.pc" \
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
    # The licence, where a packager looks.
    cmp -s "$prefix/share/doc/roughpi/LICENSE" "$source_dir/LICENSE" || fail "the installed LICENSE is not the source's"
    grep -q '^set(roughpi_LICENSE "MIT")' "$prefix/$libdir/cmake/roughpi/roughpiConfig.cmake" ||
        fail "roughpiConfig.cmake does not set roughpi_LICENSE to MIT"
    grep -q '^License: MIT$' "$prefix/$libdir/pkgconfig/roughpi.pc" || fail "roughpi.pc does not say License: MIT"
    # The Debian packages' files stay out of a plain install.
    [[ ! -e $prefix/share/doc/roughpi/copyright ]] || fail "a plain install installed the Debian copyright file"
}

# The programs' --version: the version line that scripts read, then the licence.
check_version_output() {
    local program=$1 got
    got=$("$program" --version)
    [[ $got == "roughpi $version"$'\n''Licence: MIT (see LICENSE)' ]] ||
        fail "$program --version printed '$got'"
}

# The C consumer through pkg-config: as C89, C99 and C11 (the C headers are
# plain C), and compiled as C++98 and C++20 (they are C++ too); then the C++
# consumer through roughpi++, whose Cflags ask for C++20 (g++ 12 defaults to
# C++17). $1 names the binaries, the rest are pkg-config's options (--static)
# and what to add to the link (a run path). Uses PKG_CONFIG_PATH as it is.
pkg_config_consumers() {
    local name=$1 std
    shift
    local pc_options=() link_extra=()
    while (($#)); do
        case $1 in
            --*) pc_options+=("$1") ;;
            *) link_extra+=("$1") ;;
        esac
        shift
    done
    [[ $(pkg-config --modversion roughpi) == "$version" ]] || fail "pkg-config --modversion roughpi is not $version"
    [[ $(pkg-config --modversion roughpi++) == "$version" ]] || fail "pkg-config --modversion roughpi++ is not $version"
    { pkg-config --validate roughpi && pkg-config --validate roughpi++; } || fail "pkg-config --validate failed"
    for std in c89 c99 c11; do
        # shellcheck disable=SC2046  # pkg-config's output is a list of words
        cc -std=$std -pedantic-errors "${strict[@]}" -O2 "$consumers/c/main.c" -o "$work/c-consumer-$name-$std" \
            $(pkg-config "${pc_options[@]}" --cflags --libs roughpi) "${link_extra[@]}" ||
            fail "building the C consumer ($std, pkg-config ${pc_options[*]} roughpi) against $name failed"
        "$work/c-consumer-$name-$std" "$version" >/dev/null || fail "the C consumer ($std) failed against $name"
    done
    for std in c++98 c++20; do
        # shellcheck disable=SC2046
        c++ -std=$std -pedantic-errors "${strict[@]}" -fsyntax-only -x c++ "$consumers/c/main.c" \
            $(pkg-config --cflags roughpi) || fail "<roughpi.h> does not compile as $std"
    done
    # No -std: roughpi++'s Cflags bring it.
    # shellcheck disable=SC2046
    c++ "${strict[@]}" -O2 "$consumers/cmake/main.cpp" -o "$work/cpp-consumer-$name" \
        $(pkg-config "${pc_options[@]}" --cflags --libs roughpi++) "${link_extra[@]}" ||
        fail "building the C++ consumer (pkg-config ${pc_options[*]} roughpi++) against $name failed"
    "$work/cpp-consumer-$name" "$version" >/dev/null || fail "the C++ consumer (pkg-config) failed against $name"
    # The README's two programs, with the compile lines it gives them.
    readme_block cpp >"$work/readme-count.cpp"
    readme_block c >"$work/readme-count.c"
    # shellcheck disable=SC2046
    c++ "${strict[@]}" -O2 "$work/readme-count.cpp" -o "$work/readme-cpp-$name" \
        $(pkg-config "${pc_options[@]}" --cflags --libs roughpi++) "${link_extra[@]}" ||
        fail "the README's C++ program does not build against $name"
    "$work/readme-cpp-$name" | grep -q '^pi(10^12) = 37607912018$' || fail "the README's C++ program failed against $name"
    # shellcheck disable=SC2046
    cc -std=c99 -pedantic-errors "${strict[@]}" -O2 "$work/readme-count.c" -o "$work/readme-c-$name" \
        $(pkg-config "${pc_options[@]}" --cflags --libs roughpi) "${link_extra[@]}" ||
        fail "the README's C program does not build against $name"
    [[ $("$work/readme-c-$name") == "pi(10^12) = 37607912018, Li(10^12) = 37607950279" ]] ||
        fail "the README's C program failed against $name"
}

# The first block of the README fenced as ```$1.
readme_block() {
    awk -v fence='```'"$1" '$0 == fence { inside = 1; next } inside && $0 == "```" { exit } inside { print }' \
        "$source_dir/README.md"
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

    section "$kind libraries: build and install to $prefix"
    # As on a machine without GoogleTest and Google Benchmark: the tests and
    # the micro-benchmarks are skipped, with a message. The shared build is
    # the one the Debian packages are made of, and is configured as a
    # distribution's would be: for /usr (whose library directory is
    # lib/<multiarch>), with dpkg-buildflags' hardening (less -g).
    configure_env=()
    configure_args=()
    if [[ $kind == shared ]]; then
        configure_args=(-DCMAKE_INSTALL_PREFIX=/usr)
        if command -v dpkg-buildflags >/dev/null; then
            flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
            cxxflags=" $(flags CPPFLAGS) $(flags CXXFLAGS) "
            cxxflags=${cxxflags// -g / }
            configure_env=(CXXFLAGS="$cxxflags" LDFLAGS="$(flags LDFLAGS)")
        fi
    fi
    env "${configure_env[@]}" cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=$shared \
        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
        -DROUGHPI_WERROR=ON "${configure_args[@]}" >"$work/configure-$kind.log" ||
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
    check_version_output "$prefix/bin/roughpi"

    section "$kind: CMake consumer (find_package)"
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

    section "$kind: C and C++ consumers (pkg-config)"
    export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
    if [[ $kind == static ]]; then
        # The static libraries' needs are in Libs: a link without --static works too.
        pkg_config_consumers "$kind-install" --static
        pkg_config_consumers "$kind-install-nostatic"
        for c in "$work/c-consumer-$kind-install-c11" "$work/cpp-consumer-$kind-install"; do
            if readelf -d "$c" | grep -q 'NEEDED.*libroughpi'; then
                fail "$(basename "$c"), linked to the static install, needs a shared libroughpi"
            fi
        done
    else
        pkg-config --static --libs roughpi | grep -q -- '-lstdc++' || fail "roughpi.pc's Libs.private lack the C++ runtime"
        pkg-config --libs roughpi | grep -q -- '-lstdc++' && fail "roughpi.pc of the shared libraries links the C++ runtime itself"
        pkg_config_consumers "$kind-install" "-Wl,-rpath,$(pkg-config --variable=libdir roughpi)"
        [[ $(readelf -d "$work/c-consumer-$kind-install-c11" | grep -c 'NEEDED.*libroughpi') -eq 2 ]] ||
            fail "the C consumer of the shared install does not need the 2 shared libraries"
    fi
    unset PKG_CONFIG_PATH
done

section "roughpi built inside the CMake consumer (add_subdirectory)"
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

# A .deb's field, and its file list (paths without the leading ".").
field() { dpkg-deb -f "$1" "$2"; }
files_of() { dpkg-deb -c "$1" | awk '{ print substr($6, 2) ($7 == "->" ? " -> " $8 : "") }'; }
has() { grep -qxE -- "$2" <<<"$1"; }

# The files every package has: its copyright file, in Debian's
# machine-readable format and under the MIT licence, its compressed
# changelog, and none of the install's LICENSE.
check_package_docs() {
    local deb=$1 name list
    name=$(field "$deb" Package)
    list=$(files_of "$deb")
    has "$list" "/usr/share/doc/$name/copyright" || fail "$name has no /usr/share/doc/$name/copyright"
    has "$list" "/usr/share/doc/$name/changelog.gz" || fail "$name has no compressed changelog"
    has "$list" '.*/LICENSE' && fail "$name holds a LICENSE file besides its copyright file"
    dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$name/copyright" >"$work/copyright" ||
        fail "cannot read $name's copyright file"
    { grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$work/copyright" &&
        grep -qx 'License: MIT' "$work/copyright" && grep -qx 'Copyright: 2026 The roughpi developers' "$work/copyright" &&
        grep -qF 'Permission is hereby granted, free of charge' "$work/copyright"; } ||
        fail "$name's copyright file is not the MIT licence in Debian's format"
    [[ $(field "$deb" Version) == "$version" ]] || fail "$name's version is $(field "$deb" Version)"
    [[ $(field "$deb" Source) == roughpi ]] || fail "$name's source package is not roughpi"
    [[ -n $(field "$deb" Maintainer) && -n $(field "$deb" Section) ]] || fail "$name has no Maintainer or Section"
}

# A package's manual pages: compressed with gzip -9n (no name and no time in
# the header: FLG and MTIME zero) and readable by man -l.
# $2 is the directory to extract the package to.
check_man_pages() {
    local deb=$1 dir=$2 page text n=0
    dpkg-deb -x "$deb" "$dir"
    for page in "$dir"/usr/share/man/man1/*; do
        [[ $page == *.1.gz ]] || fail "$(basename "$page") in $(basename "$deb") is not a compressed manual page"
        [[ $(od -An -tx1 -j3 -N5 "$page" | tr -d ' ') == 0000000000 ]] ||
            fail "$(basename "$page") was not compressed with gzip -n (it has a name or a time stamp)"
        # (Read whole, not piped into grep -q, whose early exit would
        # break the pipe and fail the pipeline.)
        text=$(MANPAGER=cat MANWIDTH=80 man -l "$page" 2>/dev/null) || fail "man -l $(basename "$page") failed"
        grep -q '^NAME' <<<"$text" || fail "man -l $(basename "$page") shows no page"
        n=$((n + 1))
    done
    ((n > 0)) || fail "$(basename "$deb") holds no manual page"
}

# lintian on packages: its tags shown (errors, warnings and the informational
# ones), an error fails the check.
run_lintian() {
    if ! command -v lintian >/dev/null; then
        [[ -z ${CI:-} ]] || fail "lintian is not installed (apt-get install lintian)"
        note "no lintian: the packages are not linted"
        return
    fi
    local out status=0
    out=$(lintian --fail-on error --display-info "$@" 2>&1) || status=$?
    # (lintian warns against root, which the check runs as in CI.)
    out=$(grep -v 'running with root privileges is not recommended' <<<"$out" || true)
    [[ -z $out ]] || out=$'\n'"    ${out//$'\n'/$'\n'    }"
    note "lintian $(basename -a "$@" | tr '\n' ' ')(status $status):$out"
    ((status == 0)) || fail "lintian reported errors"
}

section "Debian packages of the shared build: libroughpi, libroughpi-dev, roughpi"
build=$work/build-shared
(cd "$build" && cpack -G DEB >"$work/cpack-shared.log" 2>&1) || { cat "$work/cpack-shared.log"; fail "cpack -G DEB failed"; }
lib_deb=$(find "$build" -maxdepth 1 -name "libroughpi_${version}_*.deb")
dev_deb=$(find "$build" -maxdepth 1 -name "libroughpi-dev_${version}_*.deb")
bin_deb=$(find "$build" -maxdepth 1 -name "roughpi_${version}_*.deb")
[[ -f $lib_deb && -f $dev_deb && -f $bin_deb ]] ||
    fail "cpack made not the three packages: $(cd "$build" && echo ./*.deb)"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
debian_libdir=/usr/lib/$multiarch
soversion=${version%.*}
for deb in "$lib_deb" "$dev_deb" "$bin_deb"; do
    check_package_docs "$deb"
done
list=$(files_of "$lib_deb")
for lib in roughpi roughpi_parallel; do
    has "$list" "$debian_libdir/lib$lib\.so\.$version" || fail "libroughpi lacks lib$lib.so.$version"
    has "$list" "$debian_libdir/lib$lib\.so\.$soversion -> lib$lib\.so\.$version" || fail "libroughpi lacks the soname link of lib$lib"
    has "$list" "$debian_libdir/lib$lib\.so( .*)?" && fail "libroughpi holds the development link lib$lib.so"
done
has "$list" '/usr/(bin|include)/.*' && fail "libroughpi holds programs or headers"
[[ $(field "$lib_deb" Section) == libs ]] || fail "libroughpi's section is not libs"
field "$lib_deb" Depends | grep -q libstdc++ || fail "libroughpi does not depend on the C++ runtime"
dpkg-deb --ctrl-tarfile "$lib_deb" | tar -xO ./shlibs | grep -qx "libroughpi $soversion libroughpi (>= $version)" ||
    fail "libroughpi's shlibs file does not name libroughpi.so.$soversion"
dpkg-deb --ctrl-tarfile "$lib_deb" | tar -xO ./triggers | grep -qx 'activate-noawait ldconfig' ||
    fail "libroughpi has no ldconfig trigger"
list=$(files_of "$dev_deb")
for f in /usr/include/roughpi\.h /usr/include/roughpi/export\.h "$debian_libdir/pkgconfig/roughpi\.pc" \
         "$debian_libdir/pkgconfig/roughpi\+\+\.pc" "$debian_libdir/cmake/roughpi/roughpiConfig\.cmake" \
         "$debian_libdir/libroughpi\.so -> libroughpi\.so\.$soversion" \
         "$debian_libdir/libroughpi_parallel\.so -> libroughpi_parallel\.so\.$soversion"; do
    has "$list" "$f" || fail "libroughpi-dev lacks $f"
done
has "$list" '[^ ]*\.so\.[0-9.]+' && fail "libroughpi-dev holds a shared library"
[[ $(field "$dev_deb" Depends) == "libroughpi (= $version)" ]] || fail "libroughpi-dev's Depends: $(field "$dev_deb" Depends)"
list=$(files_of "$bin_deb")
has "$list" /usr/bin/roughpi || fail "the package roughpi holds no /usr/bin/roughpi"
has "$list" '/usr/(lib|include)/.*' && fail "the package roughpi holds libraries or headers"
field "$bin_deb" Depends | grep -qF "libroughpi (= $version)" || fail "roughpi does not depend on libroughpi"
field "$bin_deb" Depends | grep -q libstdc++ || fail "roughpi does not depend on the C++ runtime"
check_man_pages "$bin_deb" "$work/extract-shared"
# The program of the package finds the libraries without a run path.
if readelf -d "$work/extract-shared/usr/bin/roughpi" | grep -qE 'R(UN)?PATH'; then
    fail "the packaged roughpi has a run path"
fi
for deb in "$lib_deb" "$dev_deb" "$bin_deb"; do
    note "$(basename "$deb"): $(stat -c %s "$deb") bytes, Depends: $(field "$deb" Depends)"
done
run_lintian "$lib_deb" "$dev_deb" "$bin_deb"

section "Debian packages of the static build: libroughpi-dev, roughpi"
(cd "$work/build-static" && cpack -G DEB >"$work/cpack-static.log" 2>&1) ||
    { cat "$work/cpack-static.log"; fail "cpack -G DEB of the static build failed"; }
static_debs=$(cd "$work/build-static" && echo ./*.deb)
[[ $static_debs == "./libroughpi-dev_${version}_"*".deb ./roughpi_${version}_"*".deb" ]] ||
    fail "cpack of the static build made $static_debs"
static_dev=$(find "$work/build-static" -maxdepth 1 -name "libroughpi-dev_*.deb")
static_bin=$(find "$work/build-static" -maxdepth 1 -name "roughpi_*.deb")
list=$(files_of "$static_dev")
{ has "$list" '/usr/lib/libroughpi\.a' && has "$list" '/usr/lib/libroughpi_parallel\.a'; } ||
    fail "the static libroughpi-dev lacks the static libraries"
field "$static_bin" Depends | grep -q libroughpi && fail "the static build's roughpi depends on libroughpi"
check_package_docs "$static_dev"
check_package_docs "$static_bin"
check_man_pages "$static_bin" "$work/extract-static"
run_lintian "$static_dev" "$static_bin"

if [[ $(id -u) -ne 0 ]]; then
    note "not root: the packages are not installed"
else
    section "the shared build's packages installed with dpkg -i"
    for p in "${packages[@]}"; do
        if dpkg -s "$p" >/dev/null 2>&1; then
            fail "a package $p is installed already (or its configuration is left); remove it (dpkg -P $p) to run this check"
        fi
    done
    dpkg -i "$lib_deb" "$dev_deb" "$bin_deb" >"$work/dpkg.log" ||
        { cat "$work/dpkg.log"; fail "dpkg -i of the three packages failed"; }
    package_installed=1
    got=$(roughpi 1e10)
    [[ $got == 455052511 ]] || fail "roughpi 1e10 from the package printed '$got'"
    [[ $(command -v roughpi) == /usr/bin/roughpi ]] || fail "roughpi is not /usr/bin/roughpi"
    check_version_output roughpi
    # The trigger ran ldconfig: the loader's cache knows the libraries.
    cache=$(ldconfig -p)
    grep -qF "libroughpi.so.$soversion " <<<"$cache" || fail "ldconfig's cache does not know libroughpi.so.$soversion"
    # Minimal systems may tell dpkg to leave out manual pages (path-exclude).
    if grep -hsE '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/* >/dev/null; then
        note "this system's dpkg leaves out /usr/share/man: man roughpi not checked (the package holds the page, read by man -l above)"
    else
        page=$(man -w roughpi) || fail "man -w roughpi found no page"
        [[ $page == /usr/share/man/man1/roughpi.1.gz ]] || fail "man roughpi is $page"
        text=$(MANPAGER=cat MANWIDTH=80 man roughpi 2>/dev/null) || fail "man roughpi failed"
        grep -q 'roughpi - count the primes up to a number' <<<"$text" || fail "man roughpi does not show the page"
        grep -qF -- '--threads' <<<"$text" ||
            fail "man roughpi does not document --threads"
    fi
    [[ -f /usr/share/doc/roughpi/copyright && -f /usr/share/doc/libroughpi/copyright && -f /usr/share/doc/libroughpi-dev/copyright ]] ||
        fail "the installed packages lack their copyright files"
    # pkg-config and CMake find the packages' files in /usr by themselves.
    [[ $(pkg-config --variable=libdir roughpi) == "$debian_libdir" ]] || fail "pkg-config roughpi is not the package's"
    pkg_config_consumers deb
    [[ $(readelf -d "$work/c-consumer-deb-c99" | grep -c 'NEEDED.*libroughpi') -eq 2 ]] ||
        fail "the C consumer of the packages does not need the 2 shared libraries"
    consumer=$work/consumer-cmake-deb
    cmake -S "$consumers/cmake" -B "$consumer" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="${strict[*]}" \
        >"$work/consumer-deb.log" || { cat "$work/consumer-deb.log"; fail "configuring the CMake consumer against the packages failed"; }
    grep -qF -- "-- roughpi $version from $debian_libdir/cmake/roughpi" "$work/consumer-deb.log" ||
        fail "the CMake consumer did not find the packages' roughpi: $(grep -- '-- roughpi' "$work/consumer-deb.log")"
    cmake --build "$consumer" --parallel 2 >"$work/consumer-build-deb.log" ||
        { cat "$work/consumer-build-deb.log"; fail "building the CMake consumer against the packages failed"; }
    ctest --test-dir "$consumer" --output-on-failure >"$work/consumer-test-deb.log" ||
        { cat "$work/consumer-test-deb.log"; fail "the CMake consumer failed against the packages"; }
    # Purged, not just removed: libroughpi's postrm would leave it known to
    # dpkg (as config-files) otherwise.
    dpkg -P "${packages[@]}" >/dev/null || fail "dpkg -P ${packages[*]} failed"
    package_installed=0
    for f in /usr/bin/roughpi /usr/include/roughpi.h "$debian_libdir/libroughpi.so.$soversion" /usr/share/doc/libroughpi; do
        [[ ! -e $f ]] || fail "dpkg -P left $f behind"
    done
    for p in "${packages[@]}"; do
        if dpkg -s "$p" >/dev/null 2>&1; then
            fail "dpkg still knows the package $p after dpkg -P"
        fi
    done
    cache=$(ldconfig -p)
    if grep -qF "libroughpi.so.$soversion " <<<"$cache"; then
        fail "ldconfig's cache still has libroughpi.so.$soversion after dpkg -P"
    fi
fi

note "OK: static and shared installs, their CMake, C and C++ consumers, add_subdirectory, and the Debian packages" \
     "($(($(date +%s) - start)) s)"
