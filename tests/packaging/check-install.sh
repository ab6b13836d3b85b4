#!/usr/bin/env bash
# Installs the built program into a temporary root, checks that every file
# lands in its standard place and that the installed program answers
# --version without a window; then builds the Debian package, unpacks it into
# another root and starts the program from there too.
#   check-install.sh BUILD-DIR SOURCE-DIR
set -euo pipefail
build=$1
source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

cmake --install "$build" --prefix "$root/usr" >/dev/null
for f in usr/bin/climora \
         usr/share/applications/climora.desktop \
         usr/share/metainfo/io.github.climora.Climora.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/climora.svg \
         usr/share/icons/hicolor/48x48/apps/climora.png \
         usr/share/icons/hicolor/64x64/apps/climora.png \
         usr/share/icons/hicolor/128x128/apps/climora.png \
         usr/share/icons/hicolor/256x256/apps/climora.png \
         usr/share/icons/hicolor/48x48@2/apps/climora.png \
         usr/share/icons/hicolor/256x256@2/apps/climora.png; do
  [ -e "$root/$f" ] || { echo "missing after install: $f"; exit 1; }
done
# The audio module, where the program looks for it (beside its library
# folder), with every library it needs at hand.
module=$(ls "$root"/usr/lib*/climora/climora-audio.so 2>/dev/null | head -n1)
[ -n "$module" ] || { echo "missing after install: the audio module"; exit 1; }
! ldd "$module" | grep -q "not found" || { echo "the audio module lacks a library"; exit 1; }
# The DNS-SD module likewise, beside it.
dnssd=$(ls "$root"/usr/lib*/climora/climora-dnssd.so 2>/dev/null | head -n1)
[ -n "$dnssd" ] || { echo "missing after install: the DNS-SD module"; exit 1; }
! ldd "$dnssd" | grep -q "not found" || { echo "the DNS-SD module lacks a library"; exit 1; }
# The router module beside it, loaded when a host first asks for its port to
# be forwarded.
router=$(ls "$root"/usr/lib*/climora/climora-router.so 2>/dev/null | head -n1)
[ -n "$router" ] || { echo "missing after install: the router module"; exit 1; }
! ldd "$router" | grep -q "not found" || { echo "the router module lacks a library"; exit 1; }
version=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/climora" --version)
[ "$version" = "1.0.1" ] || { echo "installed program says '$version'"; exit 1; }
QT_QPA_PLATFORM=offscreen "$root/usr/bin/climora" --help | grep -q "Usage: climora" 

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/climora.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.climora.Climora.metainfo.xml" >/dev/null
fi

if command -v cpack >/dev/null && command -v dpkg-deb >/dev/null; then
  (cd "$build" && cpack -G DEB -B "$root/package" >/dev/null)
  deb=$(ls "$root"/package/climora_*.deb)
  dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || { echo "package lacks its Qt dependency"; exit 1; }
  # libcurl is loaded only when a download starts, so no linker records it.
  dpkg-deb -f "$deb" Depends | grep -q "libcurl4" || { echo "package lacks libcurl"; exit 1; }
  dpkg-deb -x "$deb" "$root/deb"
  ls "$root"/deb/usr/lib*/climora/climora-audio.so >/dev/null || { echo "package lacks the audio module"; exit 1; }
  dpkg-deb -f "$deb" Depends | grep -q "libqt6multimedia6" || { echo "package lacks Qt Multimedia"; exit 1; }
  ls "$root"/deb/usr/lib*/climora/climora-dnssd.so >/dev/null || { echo "package lacks the DNS-SD module"; exit 1; }
  dpkg-deb -f "$deb" Depends | grep -q "libavahi-client3" || { echo "package lacks the Avahi client library"; exit 1; }
  ls "$root"/deb/usr/lib*/climora/climora-router.so >/dev/null || { echo "package lacks the router module"; exit 1; }
  dpkg-deb -f "$deb" Depends | grep -q "libminiupnpc" || { echo "package lacks miniupnpc"; exit 1; }
  dpkg-deb -f "$deb" Depends | grep -q "libnatpmp" || { echo "package lacks libnatpmp"; exit 1; }
  version=$(QT_QPA_PLATFORM=offscreen "$root/deb/usr/bin/climora" --version)
  [ "$version" = "1.0.1" ] || { echo "packaged program says '$version'"; exit 1; }
fi
echo "install and package ok"
