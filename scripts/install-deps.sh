#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are not installed yet.
# Quiet and quick when everything is already there.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

wanted=$(grep -v -E '^\s*(#|$)' "$here/packages.txt" | tr -s ' \n' ' ')
missing=()
for pkg in $wanted; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# Some packages (nginx, for the deployment test) start a service when installed.
# The tests run their own processes; the distribution's services stay stopped.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
  "${sudo[@]}" chmod 755 "$policy"
  trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi
# Package lists on a fresh machine may be stale or absent: refresh them only when a plain install fails.
if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

# A service that the install enabled for boot is disabled again, for the same reason.
for service in nginx; do
  if printf '%s\n' "${missing[@]}" | grep -qx "$service" && command -v systemctl >/dev/null; then
    "${sudo[@]}" systemctl disable "$service" >/dev/null 2>&1 || true
  fi
done
