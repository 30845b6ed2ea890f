#!/usr/bin/env bash
# Rename speed side by side in one run: 100,000 files renamed in place (100
# folders of 1,000) with a regular expression, IMG_n.jpg -> PIC_n.jpg:
#   (a) vantrel-cli rename with its write-ahead journal, the list sorted by
#       "Sub Dir.", so that it renames folder by folder as the floor does
#   (a2) the same with the list sorted by name (the default), which goes
#       from folder to folder at every rename
#   (b) the floor: a bare C++ loop of no-replace renames, folder by folder
#   (b2) the same loop in the order of a list sorted by name
#   (c) Debian's rename (perl), the same expression
#   (d) mmv
#
#   bench/compare-rename.sh [TREE-PARENT]   (default /dev/shm)
#   BUILD=build/release (default) names the build with the release preset.
# The tree is built once under TREE-PARENT/vantrel-rename-tree and reused:
# creating 100,000 files is slow on some file systems. Before each timed run
# the floor tool puts every name back (not timed), so every tool renames the
# same tree in the same direction. The journal lies beside the tree.
set -euo pipefail
# shellcheck source=bench/rename-tools.sh
source "$(dirname "$0")/rename-tools.sh"
missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v file-rename >/dev/null || missing+=(rename)
command -v mmv >/dev/null || missing+=(mmv)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
parent=${1:-/dev/shm}
tree="$parent/vantrel-rename-tree"
journal="$parent/vantrel-rename.journal"
runs=${RUNS:-5}

if [ ! -f "$tree/.complete" ]; then
    echo "building $tree (100 folders of 1,000 files)..."
    rm -rf "$tree"
    mkdir -p "$tree"
    for d in $(seq -w 0 99); do
        mkdir "$tree/folder $d"
        (cd "$tree/folder $d" && seq -f "IMG_%05g.jpg" 1 1000 | xargs touch)
    done
    touch "$tree/.complete"
fi
# An interrupted earlier run may have left renamed names.
"$floor" PIC_ IMG_ "$tree" >/dev/null

reset="$floor PIC_ IMG_ '$tree'"
criteria="--set Selections/Recursive=1 --set 'Regular Expressions/Match=^IMG_(\\d+)\\.jpg\$' \
    --set 'Regular Expressions/Replace=PIC_\\1'"
hyperfine --warmup 1 --runs "$runs" --prepare "$reset" --export-markdown /tmp/vantrel-rename.md \
    -n "(a) vantrel-cli rename, journal on, by Sub Dir." \
    "'$cli' rename --yes --sort subdir --journal '$journal' $criteria '$tree'" \
    -n "(a2) vantrel-cli rename, journal on, by name" \
    "'$cli' rename --yes --journal '$journal' $criteria '$tree'" \
    -n "(b) floor: bare renameat2 loop" "$floor IMG_ PIC_ '$tree'" \
    -n "(b2) bare renameat2 loop in name order" "$floor --by-name IMG_ PIC_ '$tree'" \
    -n "(c) rename (perl)" \
    "find '$tree' -name 'IMG_*.jpg' -print0 | file-rename -0 's/\\/IMG_(\\d+)\\.jpg\$/\\/PIC_\$1.jpg/'" \
    -n "(d) mmv" "mmv -m '$tree/*/IMG_*.jpg' '$tree/#1/PIC_#2.jpg'"
"$floor" PIC_ IMG_ "$tree" >/dev/null

# Ratios to the floor, from the exported means. hyperfine picks the unit of
# the table ("Mean [s]", "Mean [ms]", ...) from the times: read it, show seconds.
awk -F'|' '/Mean \[/ {
        unit = $3; sub(/.*\[/, "", unit); sub(/\].*/, "", unit)
        scale = unit == "s" ? 1 : unit == "ms" ? 1e-3 : (unit == "µs" || unit == "us") ? 1e-6 : 0
        if (scale == 0) { print "compare-rename: unknown unit " unit > "/dev/stderr"; bad = 1; exit 1 }
    }
    /^\| `?\(/ {
        name = $2; mean = $3; gsub(/^ +| +$|`/, "", name); split(mean, m, " ");
        names[++n] = name; means[n] = (m[1] + 0) * scale
        if (name ~ /^\(b\)/) floorMean = means[n]
        if (name ~ /^\(b2\)/) nameFloorMean = means[n]
        if (name ~ /^\(a2\)/) byNameMean = means[n]
    }
    END {
        if (bad) exit 1
        for (i = 1; i <= n; ++i)
            printf "%-48s %8.3f s  %.2fx the floor\n", names[i], means[i], means[i] / floorMean
        printf "(a2) against (b2), both in name order: %.2fx\n", byNameMean / nameFloorMean
    }' \
    /tmp/vantrel-rename.md
