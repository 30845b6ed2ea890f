#!/usr/bin/env bash
# Scan speed side by side in one run: 100,000 files in 100 folders, warm
# cache. (a) the scan into entries, (b) the same with type names, (c) the
# floor (bare readdir + statx walk), (d) find -printf.
#
#   bench/compare-scan.sh [TREE-PARENT]   (default /dev/shm)
# The tree is built once under TREE-PARENT/vantrel-scan-tree and reused:
# creating 100,000 files is slow on some file systems, and a benchmark must
# not wait for it each time.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tool="$here/build/release/bench/vantrel_scan_tool"
[ -x "$tool" ] || { echo "build the release preset first (make bench)" >&2; exit 1; }
command -v hyperfine >/dev/null || apt-get install -y -qq hyperfine >/dev/null
tree=$("$here/bench/make-scan-tree.sh" "${1:-/dev/shm}")

"$tool" walk "$tree"
"$tool" scan "$tree" >/dev/null
hyperfine -N --warmup 3 --runs 20 --export-markdown /tmp/vantrel-scan.md \
    -n "(a) scan" "$tool scan $tree" \
    -n "(b) scan with type names" "$tool scan-types $tree" \
    -n "(c) floor: readdir + statx" "$tool walk $tree" \
    -n "(d) find -printf" "find $tree -printf '%s %T@ %f\n'"
