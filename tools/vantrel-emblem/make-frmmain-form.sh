#!/usr/bin/env bash
# Rebuilds the main window's product picture: draws the emblem, then stores it
# with a soft drop shadow as aicAlphaImage1 of the window's form data, through
# the designer's command line. The form data is a resource of the program, so
# rebuild the program afterwards.
#   tools/vantrel-emblem/make-frmmain-form.sh [BUILD_DIR]   (default build/test)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/test}
form=$root/src/app/forms/frmmain.vfd

cmake --build "$build" -j2 --target vantrel-emblem vantrel-designer

# Both tools draw with Qt and need a display; a virtual one will do.
run() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi
}
# A sanitizer build would report the toolkit's own leftovers at exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run "$build/bin/vantrel-emblem" "$work/emblem.png" 241x140
rm -f "$form"
run "$build/bin/vantrel-designer" --form "$form" --control aicAlphaImage1 --size 241x140 \
  --image "$work/emblem.png" \
  --set ShadowEnabled=1 --set ShadowDepth=5 --set ShadowOpacity=55 \
  --set ShadowOffsetX=3 --set ShadowOffsetY=3 \
  --save
echo "wrote $form"
