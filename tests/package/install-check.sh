#!/usr/bin/env bash
# The Debian package: Debian's checker finds no error and no warning in it; unpacked
# into a scratch root, the host runs from there with only what the package brings,
# finds its module, reports and help there, and the package names Debian's Qt and
# drivers instead of carrying them; installed with apt, it starts and is removed again.
set -euo pipefail
build=$1
deb=$(ls -t "$build"/fis01200_*_amd64.deb 2>/dev/null | head -1 || true)
if [ -z "$deb" ] || [ "$deb" -ot "$build/bin/fishost" ]; then
  echo "no current package in $build: cmake --build --preset ci --target package" >&2
  [ -n "${FIS_REQUIRE_PACKAGE:-}" ] && exit 1
  exit 77
fi
fail() { echo "FAIL: $*" >&2; exit 1; }

command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh)"
echo "lintian $deb:"
# Root runs it too, as CI does; the tag list is the verdict.
lintian --fail-on error,warning --display-info "$deb" || fail "lintian found errors or warnings"
echo "lintian: no error, no warning"

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
grep -q '^Icon=fishost$' "$usr/share/applications/fishost.desktop" || fail "desktop entry icon"
for size in 16 22 24 32 48 64 128 256; do
  [ "$(identify -format %wx%h "$usr/share/icons/hicolor/${size}x${size}/apps/fishost.png")" = "${size}x${size}" ] ||
    fail "no ${size}x${size} icon"
done
[ -s "$usr/share/icons/hicolor/scalable/apps/fishost.svg" ] || fail "no scalable icon"
for page in fishost fisreport fisdemo; do
  zcat "$usr/share/man/man1/$page.1.gz" | grep -q '^\.TH' || fail "no manual page for $page"
done
zcat "$usr/share/man/man1/fishost.1.gz" | man -l - 2>/dev/null | grep -q '/etc/xdg/fis01200/fishost.conf' ||
  fail "the manual page does not document /etc/xdg/fis01200/fishost.conf"
[ -s "$usr/share/doc/fis01200/copyright" ] && [ -s "$usr/share/doc/fis01200/changelog.gz" ] ||
  fail "no copyright or changelog in /usr/share/doc/fis01200"

export HOME=$root/home XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share
export XDG_RUNTIME_DIR=$root/run QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$root"

# Help, version and the report list need no display at all.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
for program in fishost fisreport fisdemo; do
  "${nodisplay[@]}" "$usr/bin/$program" --help | grep -q -- '--version' || fail "$program --help"
  [ "$("${nodisplay[@]}" "$usr/bin/$program" --version)" = "$program 0.1" ] || fail "$program --version"
done
# A report the user saved is listed beside the shipped ones, with where it comes from.
mkdir -p "$XDG_DATA_HOME/fis01200/fishost/reports"
sed 's/"name": *"[^"]*"/"name": "Minha listagem"/' "$usr/share/fis01200/reports/FIS012_01.json" \
  >"$XDG_DATA_HOME/fis01200/fishost/reports/FIS012_90.json"
list=$("${nodisplay[@]}" "$usr/bin/fishost" --list-reports)
echo "$list"
[ "$(head -1 <<<"$list")" = "# sistema: $usr/share/fis01200/reports" ] || fail "reports not from the package"
for f in "$usr"/share/fis01200/reports/*.json; do
  grep -q "^$(basename "$f")	FIS012	.*	sistema$" <<<"$list" || fail "$(basename "$f") not listed"
done
grep -q "^FIS012_90.json	FIS012	Minha listagem	usuário$" <<<"$list" || fail "the user's report not listed"
rm -r "$XDG_DATA_HOME/fis01200/fishost"

"$usr/bin/fishost" --open --screenshot "$root/tela.png" || fail "the installed host failed"
[ -s "$root/tela.png" ] || fail "no screenshot"

# The report runner beside it, on the demo database the host has just made, with the
# package's report definitions.
out=$("$usr/bin/fisreport" --driver sqlite --database "$XDG_DATA_HOME/fis01200/demo.sqlite" \
  --code FIS012 --report "Listagem dos Documentos" --param P_DTENTRINI=2024-01-01 \
  --param P_DTENTRFIM=2024-12-31 --output "$root/listagem.pdf") || fail "the installed fisreport failed"
echo "$out"
grep -q '^Páginas: [1-9]' <<<"$out" && [ -s "$root/listagem.pdf" ] || fail "fisreport wrote no report"
echo "package $deb: unpacked host and fisreport ran"

# Installed as an administrator installs it, started, and removed again. The machine's
# own copy is left alone, and two runs never install at the same time.
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the package is not installed with apt" >&2
  exit 0
fi
exec 9>/tmp/fis01200-package.lock
flock 9
if dpkg-query -W -f='${Status}' fis01200 2>/dev/null | grep -q 'install ok installed'; then
  echo "fis01200 is installed on this machine already: not installed again" >&2
  exit 0
fi
apt_get=(apt-get -q -y -o DPkg::Lock::Timeout=300)
trap '"${apt_get[@]}" purge fis01200 >/dev/null 2>&1 || true; rm -rf "$root"' EXIT
DEBIAN_FRONTEND=noninteractive "${apt_get[@]}" --no-install-recommends install "$deb" >"$root/apt.log" 2>&1 ||
  { cat "$root/apt.log" >&2; fail "apt could not install $deb"; }
rm -rf "$HOME" && mkdir -p "$HOME"
[ "$(fishost --version)" = "fishost 0.1" ] || fail "the installed fishost is not on PATH"
fishost --open --screenshot "$root/instalado.png" || fail "the installed host failed"
[ -s "$root/instalado.png" ] || fail "no screenshot from the installed host"
[ -s "$XDG_DATA_HOME/fis01200/demo.sqlite" ] || fail "the installed host made no demo database"
DEBIAN_FRONTEND=noninteractive "${apt_get[@]}" purge fis01200 >"$root/apt.log" 2>&1 ||
  { cat "$root/apt.log" >&2; fail "apt could not remove fis01200"; }
[ ! -e /usr/bin/fishost ] && [ ! -e /usr/lib/fis01200 ] && [ ! -e /usr/share/fis01200 ] ||
  fail "files left after removal"
echo "package $deb: installed with apt, started and removed"
