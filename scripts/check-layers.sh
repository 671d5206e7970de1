#!/bin/sh
# Fails when an include runs up the house: the folders at the top stand on one another
# one way only (app on pages and windows, those on shell and hook, nothing back).
# Usage: check-layers.sh [source root]
root=${1:-$(dirname "$0")/..}
cd "$root/src" || exit 2

status=0
# forbid FOLDER "INCLUDED..." : no file below FOLDER includes anything below the others.
forbid() {
    folder=$1
    shift
    for above in "$@"; do
        found=$(grep -rn "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$above/" "$folder" 2>/dev/null)
        if [ -n "$found" ]; then
            echo "$folder/ must not include $above/:"
            echo "$found"
            status=1
        fi
    done
}

forbid pages app
forbid windows app pages
forbid shell app pages windows
forbid hook app pages windows shell
exit $status
