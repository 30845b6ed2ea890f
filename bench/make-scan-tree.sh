#!/usr/bin/env bash
# Makes PARENT/vantrel-scan-tree (100 folders of 1,000 files) once and
# prints its path; later calls reuse it: creating 100,000 files is slow on
# some file systems, and a benchmark must not wait for it each time.
set -euo pipefail
parent=${1:-/dev/shm}
tree="$parent/vantrel-scan-tree"
if [ ! -f "$tree/.complete" ]; then
    echo "building $tree (100 folders of 1,000 files)..." >&2
    rm -rf "$tree"
    mkdir -p "$tree"
    for d in $(seq -w 0 99); do
        mkdir "$tree/folder $d"
        (cd "$tree/folder $d" && seq -f "IMG_%05g.txt" 1 500 | xargs touch &&
            seq -f "Document %g final.pdf" 1 500 | xargs -d '\n' touch)
    done
    touch "$tree/.complete"
fi
echo "$tree"
