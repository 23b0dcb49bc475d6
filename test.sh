#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every CTest suite (unit, gui, e2e, fuzz) under a virtual X display.
# Extra arguments go to ctest, e.g. ./test.sh -L unit  or  ./test.sh -R UniSock
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

build=build/test
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DCMAKE_C_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DVANTREL_SANITIZE=ON -DVANTREL_FUZZ=ON -DVANTREL_WERROR=ON >/dev/null
cmake --build "$build" -j2

# Browser and window tests need a display; xvfb-run gives them one of their own.
xvfb-run -a -s "-screen 0 1920x1200x24 -nolisten tcp" \
  ctest --test-dir "$build" --output-on-failure -j2 "$@"
