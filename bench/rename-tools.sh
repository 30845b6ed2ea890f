# Sourced by the rename comparisons: the programs they time, from the build
# with the release preset (BUILD= names another).
here=$(cd "$(dirname "${BASH_SOURCE[1]}")/.." && pwd)
build=${BUILD:-$here/build/release}
cli="$build/cli/vantrel-cli"
floor="$build/bench/vantrel_rename_floor"
for tool in "$cli" "$floor"; do
    [ -x "$tool" ] || { echo "build the release preset first: $tool is missing" >&2; exit 1; }
done
