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

user=$(mktemp -d)
trap 'rm -rf "$user"' EXIT
sed 's/"name": *"[^"]*"/"name": "Minha listagem"/' "$reports/FIS012_01.json" >"$user/FIS012_90.json"
list=$(FIS_USER_REPORTS=$user "${run[@]}" "$bin/fishost" --reports "$reports" --list-reports)
grep -q "^# sistema: $reports$" <<<"$list" || fail "no shipped folder in: $list"
grep -q "^# usuário: $user$" <<<"$list" || fail "no user folder in: $list"
grep -q "^FIS012_01.json	FIS012	.*	sistema$" <<<"$list" || fail "shipped report not listed: $list"
grep -q "^FIS012_90.json	FIS012	Minha listagem	usuário$" <<<"$list" || fail "user report not listed: $list"
echo "help, version and report list ran without a display"
