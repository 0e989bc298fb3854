#!/bin/sh
# Builds the Debian package from a build folder with cpack, twice to see the
# same bytes, runs lintian on it, unpacks it into a temporary root with
# dpkg-deb -x and checks it there: the control fields and the dependencies
# computed from the programs, the files an installation must hold, the
# compressed documentation (man pages, changelog) and the file times, the
# copyright file, each program's --version and --help, vornactl against the
# virtual board, vorna without a display up to its main window, the desktop
# entry and the AppStream metainfo, the man pages and the bash completion;
# and that CHANGELOG.md names the version the package carries.
#
# Usage: deb_package_test.sh CPACK BUILD_DIR SOURCE_DIR VERSION APP_ID
# Runs as root or as any other user; writes only below a temporary folder.
# Exit status 0 when every check passes, 77 when this is no Debian system.
set -eu

CPACK=$1
BUILD=$2
SOURCE=$3
VERSION=$4
APP_ID=$5
COM=7
WAIT_STEPS=100 # of 0.1 s
VORNA_LIMIT_S=60

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
ok() { echo "ok: $*"; }

if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "SKIP: no dpkg-deb, so no Debian system to build the package on"
  exit 77
fi
for need in dpkg-shlibdeps:dpkg-dev dpkg-parsechangelog:dpkg-dev desktop-file-validate:desktop-file-utils \
  timeout:coreutils lintian:lintian appstreamcli:appstream; do
  command -v "${need%%:*}" >/dev/null 2>&1 || fail "${need%%:*} not found (Debian package ${need#*:})"
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/vorna-package-XXXXXX")
SIM_PID=""
cleanup() {
  if [ -n "$SIM_PID" ]; then
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Programs run as a user of their own would: no display, and configuration
# (settings, port aliases) only inside the temporary folder.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# --- the package -----------------------------------------------------------
# The package's own file time, the release's, not one a caller may have set.
unset SOURCE_DATE_EPOCH
"$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 || {
  cat "$WORK/cpack.log" >&2
  fail "cpack -G DEB"
}
ARCH=$(dpkg --print-architecture)
DEB_NAME=vorna_${VERSION}_${ARCH}.deb
DEB=$WORK/out/$DEB_NAME
[ -f "$DEB" ] || fail "no $DEB_NAME; cpack wrote: $(ls "$WORK/out")"
ok "$DEB_NAME, $(wc -c <"$DEB") bytes"
# Reproducible: built again a second later, the package has the same bytes.
sleep 1
"$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/again" >"$WORK/cpack.log" 2>&1 || {
  cat "$WORK/cpack.log" >&2
  fail "cpack -G DEB, second time"
}
cmp -s "$DEB" "$WORK/again/$DEB_NAME" || fail "built twice, the package differs"
ok "built twice, the same bytes"

field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = vorna ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$VERSION" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$ARCH" ] || fail "Architecture: $(field Architecture)"
DEPENDS=$(field Depends)
for library in libc6 libstdc++6 libgcc-s1 libqt6core6 libqt6gui6 libqt6widgets6; do
  printf '%s\n' "$DEPENDS" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qxF "$library" ||
    fail "Depends lacks $library: $DEPENDS"
done
ok "Depends: $DEPENDS"
field Description | tr '\n' ' ' | grep -q 'virtual board.*without hardware' ||
  fail "the description does not offer the virtual board: $(field Description)"

# Every error and warning fails; info tags and the overrides in force are
# shown. lintian advises against running as root: root lets nobody check a
# copy.
LINT=$WORK/lint
mkdir -m 755 "$LINT"
chmod 711 "$WORK"
cp "$DEB" "$LINT/"
chmod 644 "$LINT/$DEB_NAME"
as_user=""
[ "$(id -u)" -ne 0 ] || as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
if $as_user lintian --fail-on error,warning --display-info --show-overrides "$LINT/$DEB_NAME" \
  >"$WORK/lintian.txt" 2>&1; then
  status=0
else
  status=$?
fi
sed 's/^/  lintian: /' "$WORK/lintian.txt"
[ "$status" -eq 0 ] || fail "lintian exits with $status"
ok "lintian: no errors, no warnings"

# --- the files -------------------------------------------------------------
ROOT=$WORK/root
BIN=$ROOT/usr/bin
dpkg-deb -x "$DEB" "$ROOT"
[ "$(ls "$ROOT")" = usr ] || fail "files outside /usr: $(ls "$ROOT")"
programs=$(cd "$BIN" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
[ "$programs" = "./vorna ./vorna-board-sim ./vornactl " ] || fail "usr/bin holds: $programs"
for file in \
  "share/applications/$APP_ID.desktop" \
  "share/metainfo/$APP_ID.metainfo.xml" \
  share/icons/hicolor/16x16/apps/vorna.png \
  share/icons/hicolor/32x32/apps/vorna.png \
  share/icons/hicolor/scalable/apps/vorna.svg \
  share/man/man1/vorna.1.gz share/man/man1/vornactl.1.gz share/man/man1/vorna-board-sim.1.gz \
  share/bash-completion/completions/vornactl \
  share/doc/vorna/copyright share/doc/vorna/changelog.gz \
  share/lintian/overrides/vorna \
  share/vorna/VORNAHLP.html \
  lib/udev/rules.d/60-vorna.rules; do
  [ -s "$ROOT/usr/$file" ] || fail "missing or empty: /usr/$file"
done
ok "programs, desktop entry, metainfo, icons, man pages, completion, copyright, changelog, help file, udev rule"

# --- compressed documentation, file times -------------------------------------
uncompressed=$(find "$ROOT/usr/share/man" -type f ! -name '*.gz')
[ -z "$uncompressed" ] || fail "uncompressed man pages: $uncompressed"
# gzip -9n exactly: compressing the contents again that way gives the same
# bytes, so no name or time stamp is in the header and the same page always
# gives the same file.
compressed=$(find "$ROOT" -type f -name '*.gz' | LC_ALL=C sort)
for file in $compressed; do
  gzip -dc "$file" >"$WORK/plain" || fail "gzip -d ${file#"$ROOT"}"
  gzip -9n <"$WORK/plain" | cmp -s - "$file" || fail "${file#"$ROOT"} is not compressed with gzip -9n"
done
ok "$(printf '%s\n' "$compressed" | wc -l) files compressed with gzip -9n"

gzip -dc "$ROOT/usr/share/doc/vorna/changelog.gz" >"$WORK/changelog"
changelog_field() { dpkg-parsechangelog -l "$WORK/changelog" -S "$1"; }
[ "$(changelog_field Source)" = vorna ] || fail "changelog.gz names the package $(changelog_field Source)"
[ "$(changelog_field Version)" = "$VERSION" ] || fail "changelog.gz names the version $(changelog_field Version)"
RELEASE_TIME=$(changelog_field Timestamp)
RELEASE_DATE=$(date -u -d "@$RELEASE_TIME" +%Y-%m-%d)
ok "changelog.gz: vorna $VERSION, $(changelog_field Date)"

# Every file carries the release's time, whenever the package was built.
other_times=$(find "$ROOT/usr" ! -type d -printf '%T@ %P\n' | awk -v t="$RELEASE_TIME" '$1 + 0 != t + 0')
[ -z "$other_times" ] || fail "files whose time is not the release's ($RELEASE_TIME): $other_times"
ok "every file dated $RELEASE_DATE"

COPYRIGHT=$ROOT/usr/share/doc/vorna/copyright
head -n1 "$COPYRIGHT" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not in the machine-readable format: $(head -n1 "$COPYRIGHT")"
# lintian checks the paragraphs; vornactl carries CLI11, under its own licence.
grep -qx 'License: vorna-no-licence-declared and BSD-3-clause' "$COPYRIGHT" ||
  fail "copyright does not name CLI11's licence for vornactl"
ok "copyright: machine-readable, names the licence of what vornactl carries"

# Width and height from the PNG header.
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}
for size in 16 32; do
  icon=$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/vorna.png
  [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon")"
done
ok "icons 16x16 and 32x32"

# --- --version and --help --------------------------------------------------
for program in vorna vornactl vorna-board-sim; do
  out=$("$BIN/$program" --version) || fail "$program --version exits with $?"
  [ "$out" = "$program $VERSION" ] || fail "$program --version printed: $out"
  "$BIN/$program" --help >"$WORK/help.txt" 2>&1 || fail "$program --help exits with $?"
  grep -q -- '--version' "$WORK/help.txt" || fail "$program --help does not mention --version"
done
ok "--version prints the package version for all three; --help works without a display"

# The installed vorna finds its help file in share/vorna of its own root.
"$BIN/vorna" --help >"$WORK/help.txt"
grep -qxF "Help file:     $ROOT/usr/share/vorna/VORNAHLP.html" "$WORK/help.txt" ||
  fail "vorna --help: $(grep 'Help file' "$WORK/help.txt")"
ok "vorna finds $ROOT/usr/share/vorna/VORNAHLP.html"

# --- vornactl against the virtual board ------------------------------------
"$BIN/vorna-board-sim" --com "$COM" --state "$WORK/board-defaults" --log "$WORK/board.log" \
  >"$WORK/board.out" 2>"$WORK/board.err" &
SIM_PID=$!
step=0
while [ ! -s "$WORK/board.out" ]; do
  kill -0 "$SIM_PID" 2>/dev/null || fail "vorna-board-sim ended: $(cat "$WORK/board.err")"
  step=$((step + 1))
  [ "$step" -le "$WAIT_STEPS" ] || fail "vorna-board-sim printed no device path"
  sleep 0.1
done
[ -L "$XDG_CONFIG_HOME/vorna/ports/COM$COM" ] || fail "no port alias COM$COM"

"$BIN/vornactl" --port "$COM" read >"$WORK/read.txt" 2>&1 || fail "vornactl read: $(cat "$WORK/read.txt")"
grep -qx '    88.1 MHz' "$WORK/read.txt" || fail "vornactl read, power-on channel: $(cat "$WORK/read.txt")"
"$BIN/vornactl" --port "$COM" quick --freq 100.0 --store >"$WORK/quick.txt" 2>&1 ||
  fail "vornactl quick: $(cat "$WORK/quick.txt")"
raw=$("$BIN/vornactl" --port "$COM" read --raw 2>&1) || fail "vornactl read --raw: $raw"
# Channel 125 (0x7d) is 100.0 MHz.
[ "${raw##* }" = 7d ] || fail "vornactl read --raw after quick --freq 100.0: $raw"

kill "$SIM_PID"
if wait "$SIM_PID"; then status=0; else status=$?; fi
SIM_PID=""
[ "$status" -eq 0 ] || fail "vorna-board-sim exits with $status after SIGTERM"
[ -s "$WORK/board-defaults" ] || fail "the store command left no stored defaults"
ok "vornactl read, quick --store, read --raw against vorna-board-sim on COM$COM"

# --- vorna up to its main window ---------------------------------------------
if QT_QPA_PLATFORM=offscreen VORNA_EXIT_WHEN_SHOWN=1 timeout "$VORNA_LIMIT_S" "$BIN/vorna" \
  >"$WORK/vorna.out" 2>"$WORK/vorna.err"; then status=0; else status=$?; fi
[ "$status" -eq 0 ] || fail "vorna exits with $status: $(cat "$WORK/vorna.err")"
grep -qx 'vorna: main window shown' "$WORK/vorna.out" || fail "vorna never showed its main window"
# Closing the main window writes the settings beside the executable, whose
# folder this user can write.
grep -qx 'COM=1' "$BIN/vorna.ini" 2>/dev/null || fail "no settings written to $BIN/vorna.ini"
ok "vorna (offscreen) showed its main window, closed and wrote its settings"

# --- desktop entry, metainfo, man pages, completion, udev rule ---------------
DESKTOP=$ROOT/usr/share/applications/$APP_ID.desktop
out=$(desktop-file-validate "$DESKTOP" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'Exec=vorna' "$DESKTOP" || fail "desktop entry does not start vorna"
grep -qx 'Icon=vorna' "$DESKTOP" || fail "desktop entry does not name the vorna icon"
grep -qx 'Categories=Development;Electronics;' "$DESKTOP" || fail "desktop entry categories"
ok "desktop-file-validate: no errors, warnings or hints"

METAINFO=$ROOT/usr/share/metainfo/$APP_ID.metainfo.xml
# Errors and warnings fail; info and pedantic hints are shown.
if appstreamcli validate --no-net "$METAINFO" >"$WORK/appstream.txt" 2>&1; then status=0; else status=$?; fi
sed 's/^/  appstreamcli: /' "$WORK/appstream.txt"
[ "$status" -eq 0 ] || fail "appstreamcli validate exits with $status"
# The same metainfo beside the desktop entry it names, as software centres
# read an installed system.
if appstreamcli validate-tree --no-net "$ROOT" >"$WORK/appstream-tree.txt" 2>&1; then status=0; else status=$?; fi
[ "$status" -eq 0 ] || fail "appstreamcli validate-tree: $(cat "$WORK/appstream-tree.txt")"
ok "appstreamcli validate and validate-tree: no errors or warnings"

xml_values() { sed -n "s|.*<$1[^>]*>\([^<]*\)</$1>.*|\1|p" "$METAINFO"; }
[ "$(xml_values id)" = "$APP_ID" ] || fail "metainfo id: $(xml_values id)"
[ "$(xml_values launchable)" = "$APP_ID.desktop" ] || fail "metainfo launchable: $(xml_values launchable)"
[ "Name=$(xml_values name)" = "$(grep '^Name=' "$DESKTOP")" ] ||
  fail "metainfo name $(xml_values name) is not the desktop entry's $(grep '^Name=' "$DESKTOP")"
[ "$(xml_values binary | tr '\n' ' ')" = "vorna vornactl vorna-board-sim " ] ||
  fail "metainfo provides: $(xml_values binary | tr '\n' ' ')"
release=$(grep '<release ' "$METAINFO")
case $release in
  *"version=\"$VERSION\" date=\"$RELEASE_DATE\""*) ;;
  *) fail "metainfo release is not $VERSION of $RELEASE_DATE: $release" ;;
esac
# The screenshots are the pictures the README shows, at their place in the
# repository.
pictures=$(xml_values image | sed 's|.*/\(docs/screenshots/\)|\1|' | LC_ALL=C sort)
for picture in $pictures; do
  [ -f "$SOURCE/$picture" ] || fail "metainfo screenshot $picture is not in the repository"
done
readme_pictures=$(grep -o 'docs/screenshots/[^)]*\.png' "$SOURCE/README.md" | LC_ALL=C sort -u)
[ "$pictures" = "$readme_pictures" ] ||
  fail "metainfo screenshots: $(echo $pictures); the README shows: $(echo $readme_pictures)"
ok "metainfo: id, launchable, name, provides, release $VERSION of $RELEASE_DATE, $(echo "$pictures" | wc -l) screenshots"

if command -v groff >/dev/null 2>&1; then
  for page in vorna vornactl vorna-board-sim; do
    out=$(gzip -dc "$ROOT/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$out" ] || fail "groff on $page.1: $out"
  done
  ok "man pages format without groff warnings"
else
  echo "not checked: man page warnings (no groff)"
fi

bash -n "$ROOT/usr/share/bash-completion/completions/vornactl" || fail "bash completion syntax"
ok "bash completion parses"

RULES=$ROOT/usr/lib/udev/rules.d/60-vorna.rules
if command -v udevadm >/dev/null 2>&1 && udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$RULES" || fail "udevadm verify $RULES"
  ok "udevadm verify"
else
  echo "not checked: udev rule syntax (no udevadm verify before systemd 253)"
fi

# --- the changelog ---------------------------------------------------------
newest=$(grep -m1 '^## \[' "$SOURCE/CHANGELOG.md" || true)
case $newest in
  "## [$VERSION]"*) ok "CHANGELOG.md: $newest" ;;
  *) fail "the newest CHANGELOG.md entry is not $VERSION: $newest" ;;
esac

echo "PASS: $DEB_NAME"
