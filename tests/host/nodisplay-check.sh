#!/usr/bin/env bash
# The programs' help, version and report list on a machine without any display: no
# DISPLAY, no Wayland, no Qt platform chosen.
set -euo pipefail
bin=$1
reports=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
run=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for program in fishost fisreport fisdemo; do
  help=$("${run[@]}" "$bin/$program" --help) || fail "$program --help exited $?"
  grep -q -- '--version' <<<"$help" || fail "$program --help does not list --version"
  version=$("${run[@]}" "$bin/$program" --version) || fail "$program --version exited $?"
  [[ $version =~ ^$program\ [0-9]+\.[0-9]+ ]] || fail "$program --version said: $version"
done
"${run[@]}" "$bin/fishost" --no-such-option 2>/dev/null && fail "an unknown option was taken"
[ $? -eq 2 ] || fail "an unknown option did not exit with 2"
# Opening the window without one is refused in words, not by Qt's abort.
status=0
said=$("${run[@]}" "$bin/fishost" --open 2>&1 >/dev/null) || status=$?
[ "$status" -eq 1 ] || fail "fishost --open without a display exited $status: $said"
grep -q "^fishost: não há tela" <<<"$said" || fail "fishost --open without a display said: $said"

user=$(mktemp -d)
trap 'rm -rf "$user"' EXIT
sed 's/"name": *"[^"]*"/"name": "Minha listagem"/' "$reports/FIS012_01.json" >"$user/FIS012_90.json"
list=$(FIS_USER_REPORTS=$user "${run[@]}" "$bin/fishost" --reports "$reports" --list-reports)
grep -q "^# sistema: $reports$" <<<"$list" || fail "no shipped folder in: $list"
grep -q "^# usuário: $user$" <<<"$list" || fail "no user folder in: $list"
grep -q "^FIS012_01.json	FIS012	.*	sistema$" <<<"$list" || fail "shipped report not listed: $list"
grep -q "^FIS012_90.json	FIS012	Minha listagem	usuário$" <<<"$list" || fail "user report not listed: $list"

# A report of the demo database says so at the head of its pages; the same rows in any
# other file do not.
mkdir -p "$user/xdg/fis01200"
FIS_DB_PASSWORD= "$bin/fisdemo" --database "$user/xdg/fis01200/demo.sqlite" 2>/dev/null
cp "$user/xdg/fis01200/demo.sqlite" "$user/escritorio.sqlite"
for database in "$user/xdg/fis01200/demo.sqlite" "$user/escritorio.sqlite"; do
  XDG_DATA_HOME=$user/xdg "${run[@]}" "$bin/fisreport" --reports "$reports" --database "$database" \
    --code FIS012 --report "Listagem dos Documentos" --param P_DTENTRINI=2024-01-01 \
    --param P_DTENTRFIM=2024-12-31 --output "$user/listagem.pdf" >/dev/null || fail "fisreport on $database"
  marks=$(pdftotext "$user/listagem.pdf" - | grep -c 'BANCO DE DEMONSTRAÇÃO' || true)
  pages=$(pdfinfo "$user/listagem.pdf" | awk '/^Pages:/ {print $2}')
  if [ "$database" = "$user/escritorio.sqlite" ]; then
    [ "$marks" -eq 0 ] || fail "a report of another database is marked as the demo"
  else
    [ "$marks" -eq "$pages" ] || fail "$marks of $pages pages of the demo's report say so"
  fi
done
echo "help, version and report list ran without a display; the demo's report says what it is"
