#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, starts the database
# servers the tests need on throw-away directories, runs every test headless, runs
# them all a second time built with the address, undefined-behaviour and leak
# sanitizers, and stops the servers again. FIS_SKIP_SANITIZERS=1 leaves out the
# second pass.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

preset=ci
cmake --preset "$preset"
cmake --build --preset "$preset"
cmake --build --preset "$preset" --target package

export FIS_BUILD_DIR="$PWD/build/$preset"
export QT_QPA_PLATFORM=offscreen
export FIS_REQUIRE_SERVERS=1
export FIS_REQUIRE_PACKAGE=1

scripts/db-servers.sh start
trap 'scripts/db-servers.sh stop' EXIT
eval "$(scripts/db-servers.sh env)"

ctest --preset "$preset" "$@"

if [ "${FIS_SKIP_SANITIZERS:-}" = 1 ]; then
  exit 0
fi
# The same tests on the same servers, built with the sanitizers (the asan preset
# sets their options and the leak suppressions; tests/CMakeLists gives each test
# more time there). The package test belongs to the release build alone.
cmake --preset asan
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -LE package "$@"
