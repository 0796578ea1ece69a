#!/usr/bin/env bash
# Installs the Debian packages Plexor2 needs to build, test and benchmark.
# Safe to run again: it installs only what is missing. Uses sudo when not
# run as root.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    zlib1g-dev
    libisal-dev  # ISA-L, the fast gzip inflater (zlib is used where it is missing)
    libpsl-dev publicsuffix  # providers of name servers; the list the built-in rules are made from
    libicu-dev  # look-alike forms: UTS #39 skeletons, IDNA, normalisation
    libgtest-dev libbenchmark-dev
    qt6-base-dev libgl-dev
    libbotan-2-dev
    mawk
    python3-dnspython  # scripts/master-reference.py, the oracle of the master-file samples
    python3-levenshtein  # the plain distance loop bench/compare_lookalikes.sh compares with
    isal               # igzip, the inflate speed the gzip benchmarks compare with
    time               # /usr/bin/time, peak memory in the comparison benchmarks
    appstream desktop-file-utils  # validators of the desktop entry and metainfo
    scdoc                         # makes the manual page of plexor2-extract
    mandoc groff-base             # check that the manual page renders cleanly
    dpkg-dev                      # dpkg-shlibdeps, for the Debian package and its test
    # The Windows build of the engine and plexor2-extract (the windows preset):
    # the MinGW-w64 cross compiler (POSIX threads), zlib for it, GoogleTest's
    # sources to build for it, and Wine to run its tests (the preset finds
    # /usr/lib/wine/wine64; the wine package's launcher is not needed).
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64
    # The libFuzzer targets (the fuzz preset, scripts/fuzz.sh and its stage in
    # scripts/test.sh): clang, and compiler-rt with libFuzzer and the
    # sanitizer runtimes.
    clang libclang-rt-14-dev
)
# Extra packages for a caller that needs more.
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
