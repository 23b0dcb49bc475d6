#!/usr/bin/env bash
# Builds the program and the site for release and makes the two Debian packages:
#   build/packages/vantrel_VERSION_ARCH.deb and build/packages/vantrel-site_VERSION_ARCH.deb
# Usage: scripts/package.sh [BUILD_DIR]     (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

build=${1:-build/package}
out=$root/build/packages

# Debian's own hardening flags (stack protector, fortified functions, full
# RELRO, immediate binding), as a package built by the distribution gets them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cflags=$(dpkg-buildflags --get CFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVANTREL_TESTS=OFF -DVANTREL_BENCH=OFF -DVANTREL_SANITIZE=OFF -DVANTREL_FUZZ=OFF \
  -DCMAKE_C_FLAGS="$cppflags $cflags" -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j2

# CPack stages every component under its own folder; only the .deb files are kept.
staging=$(cd "$build" && pwd)/cpack
rm -rf "$staging"
(cd "$build" && cpack -G DEB -B "$staging" >/dev/null)
mkdir -p "$out"
for deb in "$staging"/*.deb; do
  cp "$deb" "$out/"
  echo "$out/$(basename "$deb")"
done
