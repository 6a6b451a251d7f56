#!/usr/bin/env bash
# The README's pictures, taken with the project's own programs on the demo database:
#   docs/tela.png         the screen as the host opens it
#   docs/visualizar.png   the filter filled in from the keyboard and its preview open
#   docs/relatorio.png    page 1 of the listing, as fisreport writes it to PDF
#   docs/planilha.png     (FIS_SHOTS_XLSX=1) the withholding report exported to XLSX, in LibreOffice
#
#   scripts/screenshots.sh            builds build/dev if needed
#   FIS_BUILD_DIR=build/ci scripts/screenshots.sh
set -euo pipefail
mode=${1:-}

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FIS_BUILD_DIR:-$root/build/dev}
out=${FIS_SHOTS_DIR:-$root/docs}
case $build in /*) ;; *) build=$root/$build ;; esac

# The keys a user presses (README, "Without the mouse"): every company and branch, the
# first quarter of 2024, preview.
drive() {
  "$build/bin/fishost" --open &
  host=$!
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --class fishost 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "${window:-}" ] || { echo "o host não abriu a tela" >&2; kill "$host"; return 1; }
  sleep 2
  xdotool windowfocus --sync "$window"
  press() { xdotool key --delay 150 "$@"; sleep 0.3; }
  press alt+1 alt+4                  # "Todas" companies (and registrations), branches
  press Tab Tab                      # past the direction (Entrada) to the start date
  xdotool type --delay 60 01012024
  press Tab
  xdotool type --delay 60 31032024
  press F5                           # Visualizar
  sleep 4
  import -window root "$work/visualizar.png"
  kill "$host" 2>/dev/null || true
  wait "$host" 2>/dev/null || true
}
if [ "$mode" = --drive ]; then # run again inside the Xvfb below
  drive
  exit
fi

"$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  if [ "$build" = "$root/build/dev" ]; then
    cmake --preset dev -S "$root"
  else
    cmake -S "$root" -B "$build" -G Ninja
  fi
fi
targets=(fishost fis01200)
if cmake --build "$build" --target help | grep '^fisreport:' >/dev/null; then
  targets+=(fisreport)
fi
cmake --build "$build" --target "${targets[@]}"

# A first start of a new user: no settings, the demo database made afresh.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$out" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
screen="-screen 0 1024x720x24"

# Pictures go in the repository: fewer colours keep them small.
keep() { convert "$1" -strip -colors 96 "$2" && echo "$2 ($(stat -c %s "$2") bytes)"; }

xvfb-run -a -s "$screen" "$build/bin/fishost" --open --screenshot "$work/tela.png"
keep "$work/tela.png" "$out/tela.png"

export FIS_BUILD_DIR=$build work
xvfb-run -a -s "$screen" "$0" --drive
keep "$work/visualizar.png" "$out/visualizar.png"

if [ -x "$build/bin/fisreport" ]; then
  "$build/bin/fisreport" --database "$XDG_DATA_HOME/fis01200/demo.sqlite" --code FIS012 \
    --report "Listagem dos Documentos" --param P_DTENTRINI=2024-01-01 \
    --param P_DTENTRFIM=2024-03-31 --output "$work/listagem.pdf"
  pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$work/listagem.pdf" "$work/relatorio"
  keep "$work/relatorio.png" "$out/relatorio.png"
else
  echo "sem fisreport neste build: docs/relatorio.png não foi refeita" >&2
fi

# FIS_SHOTS_XLSX=1: the withholding report exported to XLSX, as LibreOffice Calc shows it
# (docs/planilha.png); LibreOffice is installed for this only.
if [ "${FIS_SHOTS_XLSX:-}" = 1 ] && [ -x "$build/bin/fisreport" ]; then
  "$root/scripts/install-deps.sh" --docs
  "$build/bin/fisreport" --database "$XDG_DATA_HOME/fis01200/demo.sqlite" --code FIS012 \
    --report "Retenções por Cliente/Fornecedor" --param P_DTENTRINI=2024-01-01 \
    --param P_DTENTRFIM=2024-03-31 --output "$work/planilha.xlsx"
  soffice --headless --convert-to pdf --outdir "$work" "$work/planilha.xlsx" >/dev/null
  pdftoppm -png -r 110 -f 1 -l 1 -singlefile "$work/planilha.pdf" "$work/planilha"
  keep "$work/planilha.png" "$out/planilha.png"
fi
