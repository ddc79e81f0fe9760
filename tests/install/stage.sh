#!/bin/sh
# Stages one architecture the way the release packaging does, from a build
# tree's bin/ folder, for the setup program to be made from:
#   stage.sh i686|x86_64 BIN_DIR OUT
# OUT gets Velmorant.dll, VelmorantEngine.dll, Velmorant.Runtime/ (i686),
# velmorant-host.exe, Presets/*.fxp, README.txt and LICENSE.txt.
set -eu
arch=$1 bin=$2 out=$3
root=$(cd "$(dirname "$0")/../.." && pwd)

rm -rf "$out"
mkdir -p "$out/Presets"
cp "$bin/Velmorant.dll" "$bin/VelmorantEngine.dll" "$bin/velmorant-host.exe" "$out/"
if [ "$arch" = i686 ]; then
    cp -R "$bin/Velmorant.Runtime" "$out/"
fi
presets="$bin/factory-presets"
[ -d "$presets" ] || presets="$root/engine/presets"
cp "$presets"/*.fxp "$out/Presets/"
cp "$root/packaging/README.txt" "$out/README.txt"
cp "$root/LICENSE.txt" "$out/LICENSE.txt"
