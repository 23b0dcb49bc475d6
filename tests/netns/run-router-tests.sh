#!/usr/bin/env bash
# Runs the router test program inside a lab of network namespaces (see lab.sh)
# with a real router daemon and the real test site, and removes the whole lab
# afterwards, whatever happens.
#
# Usage: run-router-tests.sh TEST_PROGRAM STUN_RESPONDER SITE_PROGRAM [gtest arguments]
# Exit status 77 (reported as skipped) where namespaces cannot be made.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1 stunResponder=$2 site=$3
shift 3

skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "the router lab needs root to make network namespaces"
for tool in ip nft ss miniupnpd; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin:/sbin command -v "$tool" >/dev/null ||
    skip "the router lab needs $tool (scripts/install-deps.sh installs it)"
done
export PATH=$PATH:/usr/sbin:/sbin
probe=vtrprobe$$
ip netns add "$probe" 2>/dev/null || skip "network namespaces cannot be made here"
ip netns del "$probe"

lab=$(mktemp -d /tmp/vantrel-lab.XXXXXX)
cleanup() {
  "$here/lab.sh" "$lab" down || true
  rm -rf "$lab"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$here/lab.sh" "$lab" up "$stunResponder"
"$here/lab.sh" "$lab" site "$site"
status=0
# A time limit of its own, so that this script, not the test runner's kill,
# ends a stuck program and the lab is still removed.
VANTREL_LAB_DIR=$lab VANTREL_LAB_SCRIPT=$here/lab.sh timeout --kill-after=10 240 \
  ip netns exec "$("$here/lab.sh" "$lab" ns pc)" "$program" "$@" || status=$?
if [ $status -ne 0 ]; then
  for log in "$lab"/*.log; do echo "--- $(basename "$log")"; tail -n 40 "$log"; done
fi
exit $status
