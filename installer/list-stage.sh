#!/bin/sh
# Writes the NSIS macros that install and remove the staged files whose names
# the setup script cannot know in advance: the presets and, on win32, the
# runtime assembly. Both macros of a pair come from the same listing, so the
# uninstaller deletes exactly the names the installer wrote.
#   list-stage.sh STAGE OUT.nsh
set -eu
stage=$1
out=$2

# folder (relative to the stage), glob, macro suffix
emit() {
    dir=$1 pattern=$2 name=$3
    files=
    if [ -d "$stage/$dir" ]; then
        files=$(cd "$stage/$dir" && for f in $pattern; do [ -f "$f" ] && echo "$f"; done | LC_ALL=C sort)
    fi
    # NSIS would read $ as a variable and " ends a string; no such names ship.
    if printf '%s' "$files" | grep -q '[$"]'; then
        echo "list-stage.sh: a file name in $stage/$dir holds \$ or a quote" >&2
        exit 1
    fi
    printf '!macro Install%s\n' "$name"
    printf '%s\n' "$files" | while IFS= read -r f; do
        if [ -n "$f" ]; then printf '  File "${STAGE}/%s/%s"\n' "$dir" "$f"; fi
    done
    printf '!macroend\n!macro Remove%s FOLDER\n' "$name"
    printf '%s\n' "$files" | while IFS= read -r f; do
        if [ -n "$f" ]; then printf '  Delete "${FOLDER}\\%s"\n' "$f"; fi
    done
    printf '!macroend\n!define %sCount %s\n' "$name" "$(printf '%s' "$files" | grep -c . || true)"
}

{
    emit Presets '*.fxp' Presets
    emit Velmorant.Runtime '*' Runtime
} >"$out"
