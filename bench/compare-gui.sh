#!/usr/bin/env bash
# The window's speed, offscreen, on 100,000 files in 100 folders (the tree of
# compare-scan.sh, built once and reused): the scan beside vantrel-cli
# preview of the same tree, the longest UI block, keystroke-to-repaint with
# every entry selected, peak memory.
#
#   bench/compare-gui.sh [TREE-PARENT]   (default /dev/shm)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bench="$here/build/release/bench/vantrel_gui_bench"
cli="$here/build/release/cli/vantrel-cli"
[ -x "$bench" ] || { echo "build the release preset first (make bench)" >&2; exit 1; }
tree=$("$here/bench/make-scan-tree.sh" "${1:-/dev/shm}")
echo "file system: $(stat -f -c %T "$tree")"
"$bench" "$tree" "$cli" "${RUNS:-5}"
