#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, starts the database
# servers the tests need on throw-away directories, runs every test headless, and
# stops the servers again.
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
