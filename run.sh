#!/usr/bin/env bash
# Builds Vantrel (release), starts the bundled test site on loopback and starts
# the program pointed at it. Without a display the program runs under Xvfb and a
# screenshot of its window is saved to build/release/vantrel-screenshot.png.
#   ./run.sh                 build and run until the window is closed (or Ctrl-C)
#   ./run.sh --screenshot    headless or not: save the screenshot, then stop
set -euo pipefail
cd "$(dirname "$0")"

screenshot_only=0
[ "${1:-}" = "--screenshot" ] && screenshot_only=1

scripts/install-deps.sh

build=build/release
site_port=${VANTREL_SITE_PORT:-8380}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVANTREL_TESTS=OFF -DVANTREL_BENCH=OFF \
  -DVANTREL_SITE_URL="http://127.0.0.1:$site_port" >/dev/null
cmake --build "$build" -j2
bin="$build/bin"

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -x "$bin/vantrel-site" ]; then
  "$bin/vantrel-site" --listen 127.0.0.1 --port "$site_port" &
  pids+=($!)
  echo "run.sh: test site on http://127.0.0.1:$site_port"
fi

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  display=99
  while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp &
  pids+=($!)
  export DISPLAY=":$display"
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
  sleep 1
  echo "run.sh: no display; running under Xvfb on $DISPLAY"
fi

"$bin/vantrel" &
app=$!
pids+=($app)

if [ "$headless" -eq 1 ] || [ "$screenshot_only" -eq 1 ]; then
  sleep 8
  shot="$build/vantrel-screenshot.png"
  if import -display "$DISPLAY" -window root "$shot"; then
    echo "run.sh: screenshot saved to $shot"
  fi
  if [ "$screenshot_only" -eq 1 ]; then
    exit 0
  fi
fi
wait "$app"
