#!/usr/bin/env bash
# Builds the dev tree and starts the host with the Listagem dos Documentos open on
# the embedded SQLite demo database. Extra arguments go to the host, for example:
#   scripts/run-host.sh M                      (the screen as a modal dialog)
#   scripts/run-host.sh --screenshot tela.png  (headless check: picture, then quit)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

cmake --preset dev
cmake --build --preset dev

host=(build/dev/bin/fishost --open "$@")
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  if command -v xvfb-run >/dev/null; then
    echo "Sem tela (DISPLAY vazio): o host roda num Xvfb; use --screenshot ARQUIVO para ver a janela." >&2
    exec xvfb-run -a -s "-screen 0 1280x800x24" "${host[@]}"
  fi
  echo "Sem tela (DISPLAY vazio) e sem xvfb-run: rode scripts/install-deps.sh ou defina QT_QPA_PLATFORM=offscreen." >&2
  exit 1
fi
exec "${host[@]}"
