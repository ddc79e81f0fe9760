#!/usr/bin/env bash
# Builds examples/minimal-engine the way an engine maker would: the folder
# copied out, with a copy of include/ and the toolchain file as the SDK, then
# stages the DLL as <stem>Engine.dll beside a copy of the plug-in named
# <stem>.dll (and the runtime assembly on i686), renders the built-in phrase
# through velmorant-host and checks that the WAV is not silent, and that
# other block sizes give the same samples (the engine declares itself
# sample-accurate).
#   build-and-play.sh TOOLCHAIN SCRATCH_DIR BIN_DIR SHARED_RUNTIME(ON|OFF)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
toolchain=$1 scratch=$2 bin=$3 shared=$4

rm -rf "$scratch"
mkdir -p "$scratch/sdk/cmake" "$scratch/stage"
cp -r "$root/include" "$scratch/sdk/"
cp "$toolchain" "$scratch/sdk/cmake/"
cp -r "$root/examples/minimal-engine" "$scratch/src"

step() {  # step LOG COMMAND...: runs quietly, shows the log on failure
    local log=$1; shift
    "$@" >"$log" 2>&1 || { cat "$log"; echo "example engine: failed: $*"; exit 1; }
}
step "$scratch/configure.log" cmake -S "$scratch/src" -B "$scratch/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$scratch/sdk/cmake/$(basename "$toolchain")" \
    -DVELMORANT_SDK_DIR="$scratch/sdk" -DCMAKE_BUILD_TYPE=Release
step "$scratch/build.log" cmake --build "$scratch/build"

cp "$bin/Velmorant.dll" "$scratch/stage/Minimal.dll"
cp "$scratch/build/MinimalEngine.dll" "$scratch/stage/MinimalEngine.dll"
if [ "$shared" = ON ]; then
    cp -r "$bin/Velmorant.Runtime" "$scratch/stage/"
fi

wav="$scratch/phrase.wav"
step "$scratch/render.log" "$root/scripts/wine-run" "$bin/velmorant-host.exe" "$scratch/stage/Minimal.dll" \
    --list --out "$wav" --tail 0.5 --format float
cat "$scratch/render.log"
grep -q '^product: MinimalEngine' "$scratch/render.log" \
    || { echo "example engine: failed: the plug-in did not load MinimalEngine"; exit 1; }
peak=$(sox "$wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
awk -v peak="${peak:-0}" 'BEGIN { exit !(peak > 0.05) }' \
    || { echo "example engine: failed: the render is silent (peak ${peak:-none})"; exit 1; }
# Where 32-bit Wine runs under qemu a render costs minutes: one is enough there.
blocks="17 4096"
if [ "$shared" = ON ] && "$root/scripts/wine-run" --emulated; then
    blocks=""
    echo "example engine: emulated 32-bit Wine, other block sizes not rendered"
fi
for block in $blocks; do
    step "$scratch/render-$block.log" "$root/scripts/wine-run" "$bin/velmorant-host.exe" \
        "$scratch/stage/Minimal.dll" --out "$scratch/phrase-$block.wav" --tail 0.5 --format float --block "$block"
    cmp "$wav" "$scratch/phrase-$block.wav" \
        || { echo "example engine: failed: blocks of $block render other samples than blocks of 512"; exit 1; }
done
echo "example engine: heard (peak $peak), the same samples in blocks of 512${blocks:+ and }${blocks// / and }"
