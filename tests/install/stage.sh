#!/bin/sh
# Stages one architecture the way the release packaging does, from a build
# tree's bin/ folder and the other architecture's, for the setup program to
# be made from:
#   stage.sh i686|x86_64 BIN_DIR PEER_BIN_DIR OUT
# OUT gets Velmorant.dll, VelmorantEngine.dll, velmorant-host.exe, both engine
# host programs, Velmorant.Runtime/ (the i686 runtime, from whichever build
# is i686), Presets/*.fxp, README.txt and LICENSE.txt.
set -eu
arch=$1 bin=$2 peer=$3 out=$4
root=$(cd "$(dirname "$0")/../.." && pwd)

rm -rf "$out"
mkdir -p "$out/Presets"
cp "$bin/Velmorant.dll" "$bin/VelmorantEngine.dll" "$bin/velmorant-host.exe" "$out/"
if [ "$arch" = i686 ]; then
    cp "$bin/VelmorantEngineHost32.exe" "$peer/VelmorantEngineHost64.exe" "$out/"
    cp -R "$bin/Velmorant.Runtime" "$out/"
else
    cp "$bin/VelmorantEngineHost64.exe" "$peer/VelmorantEngineHost32.exe" "$out/"
    cp -R "$peer/Velmorant.Runtime" "$out/"
fi
presets="$bin/factory-presets"
[ -d "$presets" ] || presets="$root/engine/presets"
cp "$presets"/*.fxp "$out/Presets/"
cp "$root/packaging/README.txt" "$out/README.txt"
cp "$root/LICENSE.txt" "$out/LICENSE.txt"
