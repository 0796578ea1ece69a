#!/usr/bin/env bash
# Builds Plexor2 with the release preset's settings and makes its Debian
# package, build/package/plexor2_<version>_<architecture>.deb, then shows the
# package's fields and files.
#
#   scripts/package.sh [BUILD_DIR]      (default build/package)
#
# Install it with: sudo apt-get install ./build/package/plexor2_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/package}
# dpkg-shlibdeps (dpkg-dev) and file find the run-time library packages.
scripts/install-deps.sh dpkg-dev file

# Only what the package holds: no tests, benchmarks or fuzz targets.
cmake --preset release -B "$build" -DPLEXOR_BUILD_TESTS=OFF -DPLEXOR_BUILD_BENCH=OFF -DPLEXOR_BUILD_FUZZ=OFF
cmake --build "$build" -j2
rm -f "$build"/plexor2_*.deb
(cd "$build" && cpack -G DEB)

package=$(ls "$build"/plexor2_*.deb)
echo "== $package =="
dpkg-deb --field "$package" Package Version Architecture Section Maintainer Depends
dpkg-deb --contents "$package" | awk '{print $NF}'
# Both programs, and the manual page of the command-line one.
for file in ./usr/bin/Plexor2 ./usr/bin/plexor2-extract ./usr/share/man/man1/plexor2-extract.1; do
    dpkg-deb --contents "$package" | awk '{print $NF}' | grep -x "$file" >/dev/null || {
        echo "package.sh: $package lacks $file" >&2
        exit 1
    }
done
