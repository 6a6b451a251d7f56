#!/usr/bin/env bash
# The Debian package unpacked into a scratch root: the host runs from there with
# only what the package brings, finds its module, reports and help there, and the
# package names Debian's Qt and drivers instead of carrying them.
set -euo pipefail
build=$1
deb=$(ls -t "$build"/fis01200_*_amd64.deb 2>/dev/null | head -1 || true)
if [ -z "$deb" ] || [ "$deb" -ot "$build/bin/fishost" ]; then
  echo "no current package in $build: cmake --build --preset ci --target package" >&2
  [ -n "${FIS_REQUIRE_PACKAGE:-}" ] && exit 1
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
usr=$root/usr

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-ibase qt6-qpa-plugins; do
  [[ $depends == *"$p"* ]] || fail "Depends lacks $p: $depends"
done
dpkg-deb -c "$deb" | grep -q 'libQt6' && fail "the package carries Qt's libraries"

# Every framework library resolves inside the root, none from the build tree.
for f in "$usr/bin/fishost" "$usr/bin/fisreport" "$usr"/lib/fis01200/*.so; do
  ldd "$f" | grep 'libfis' | grep -v "=> $usr/" && fail "$f links outside the package"
done
# The scheduler's tool needs no window system.
ldd "$usr/bin/fisreport" | grep -i 'libQt6Widgets' && fail "fisreport links Qt Widgets"
for f in help/11501200.html db/postgresql/schema.sql; do
  [ -s "$usr/share/fis01200/$f" ] || fail "missing share/fis01200/$f"
done
grep -q '^Exec=fishost' "$usr/share/applications/fishost.desktop" || fail "desktop entry"

export HOME=$root/home XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share
export XDG_RUNTIME_DIR=$root/run QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$root"

list=$("$usr/bin/fishost" --list-reports)
echo "$list"
[ "$(head -1 <<<"$list")" = "# $usr/share/fis01200/reports" ] || fail "reports not from the package"
for f in "$usr"/share/fis01200/reports/*.json; do
  grep -q "^$(basename "$f")	" <<<"$list" || fail "$(basename "$f") not listed"
done

"$usr/bin/fishost" --open --screenshot "$root/tela.png" || fail "the installed host failed"
[ -s "$root/tela.png" ] || fail "no screenshot"

# The report runner beside it, on the demo database the host has just made, with the
# package's report definitions.
out=$("$usr/bin/fisreport" --driver sqlite --database "$XDG_DATA_HOME/fis01200/demo.sqlite" \
  --code FIS012 --report "Listagem dos Documentos" --param P_DTENTRINI=2024-01-01 \
  --param P_DTENTRFIM=2024-12-31 --output "$root/listagem.pdf") || fail "the installed fisreport failed"
echo "$out"
grep -q '^Páginas: [1-9]' <<<"$out" && [ -s "$root/listagem.pdf" ] || fail "fisreport wrote no report"
echo "package $deb: installed host and fisreport ran"
