#!/usr/bin/env bash
# The rename batch against the floor in pairs: vantrel-cli rename and the
# floor loop run one after the other, in the same order, RUNS times over
# (default 11), on the tree of compare-rename.sh. On a shared machine, whose
# neighbours come and go within seconds, the ratio of each pair and the
# median of those ratios say more than means taken minutes apart.
#
#   bench/compare-rename-pairs.sh [TREE-PARENT] [name|subdir]
#     name (default): the list sorted by name, against the floor in name order
#     subdir: sorted by "Sub Dir.", against the floor folder by folder
# BUILD=build/release (default) names the build with the release preset.
set -euo pipefail
# shellcheck source=bench/rename-tools.sh
source "$(dirname "$0")/rename-tools.sh"
parent=${1:-/dev/shm}
order=${2:-name}
tree="$parent/vantrel-rename-tree"
journal="$parent/vantrel-rename.journal"
runs=${RUNS:-11}
[ -f "$tree/.complete" ] || { echo "run bench/compare-rename.sh $parent first: it builds $tree" >&2; exit 1; }

sort=()
floorOrder=(--by-name)
if [ "$order" = subdir ]; then
    sort=(--sort subdir)
    floorOrder=()
fi
reset() { "$floor" PIC_ IMG_ "$tree" >/dev/null; }
ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
pairs=$(mktemp)
trap 'rm -f "$pairs"; reset' EXIT
reset
for _ in $(seq "$runs"); do
    reset
    a=$(ms "$cli" rename --yes "${sort[@]}" --journal "$journal" --set Selections/Recursive=1 \
        --set 'Regular Expressions/Match=^IMG_(\d+)\.jpg$' \
        --set 'Regular Expressions/Replace=PIC_\1' "$tree")
    reset
    b=$(ms "$floor" "${floorOrder[@]}" IMG_ PIC_ "$tree")
    echo "$a $b" >>"$pairs"
done
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
minimum() { sort -n | head -1; }
echo "order: $order; $runs pairs on $(stat -f -c %T "$parent")"
echo "vantrel-cli rename: min $(cut -d' ' -f1 "$pairs" | minimum) ms, median $(cut -d' ' -f1 "$pairs" | median) ms"
echo "floor:              min $(cut -d' ' -f2 "$pairs" | minimum) ms, median $(cut -d' ' -f2 "$pairs" | median) ms"
echo "ratio of each pair: median $(awk '{printf "%.3f\n", $1 / $2}' "$pairs" | median)," \
    "lowest $(awk '{printf "%.3f\n", $1 / $2}' "$pairs" | minimum)"
