#!/usr/bin/env bash
# Whole-process comparison of reading the date taken of camera JPEG files:
# `vantrel-cli taken` against exiv2 and against a floor (a bare loop that
# opens each file, reads its first 64 KiB and closes it: what any reader of
# the header must at least do) over the same files, side by side.
#
#   bench/compare-taken.sh build/release/cli/vantrel-cli [file count, default 1000]
# The floor is the release build's bench/vantrel_taken_floor.
#
# The files (EXIF DateTimeOriginal in main and EXIF directories, tables, frame,
# some tens of KB of scan data) are written to a folder on /dev/shm, so the disk
# does not take part, and removed at the end. Installs python3, exiv2 and
# hyperfine when missing.
set -euo pipefail

cli=${1:?usage: compare-taken.sh path/to/vantrel-cli [file count]}
count=${2:-1000}
missing=()
for tool in python3 exiv2 hyperfine; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq "${missing[@]}" >/dev/null ||
        { echo "compare-taken: ${missing[*]} needed" >&2; exit 1; }
fi
cli=$(realpath "$cli")
[ -x "$cli" ] || { echo "compare-taken: $cli is not an executable" >&2; exit 1; }
floor=$(dirname "$cli")/../bench/vantrel_taken_floor
[ -x "$floor" ] || { echo "compare-taken: build the release preset: $floor is missing" >&2; exit 1; }
floor=$(realpath "$floor")

dir=$(mktemp -d /dev/shm/vantrel-taken.XXXXXX)
trap 'rm -rf "$dir"' EXIT

# Writes IMG_0000.jpg ... and expected.txt with "NAME<TAB>DATE" lines. Half the
# files are big-endian, as some cameras write them.
python3 - "$dir" "$count" <<'PY'
import os, random, struct, sys

folder, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(2005)

def section(marker, body):
    return b"\xFF" + bytes([marker]) + struct.pack(">H", len(body) + 2) + body

def tiff(big, date):
    e = ">" if big else "<"
    def directory(at, entries, data_at):
        # entries: (tag, type, count, payload bytes); payloads over 4 bytes go to data_at
        out, data = struct.pack(e + "H", len(entries)), b""
        for tag, kind, n, payload in entries:
            if len(payload) <= 4:
                field = payload.ljust(4, b"\0")
            else:
                field = struct.pack(e + "I", data_at + len(data))
                data += payload + (b"\0" if len(payload) % 2 else b"")
            out += struct.pack(e + "HHI", tag, kind, n) + field
        return out + struct.pack(e + "I", 0), data
    ascii_ = lambda s: (2, len(s) + 1, s.encode() + b"\0")
    short = lambda v: (3, 1, struct.pack(e + "H", v))
    long_ = lambda v: (4, 1, struct.pack(e + "I", v))
    rational = lambda a, b: (5, 1, struct.pack(e + "II", a, b))
    main = [(0x010F,) + ascii_("Camera Maker"), (0x0110,) + ascii_("Model 10"),
            (0x0112,) + short(1), (0x011A,) + rational(72, 1), (0x011B,) + rational(72, 1),
            (0x0128,) + short(2), (0x0132,) + ascii_(date), (0x8769,) + long_(0)]
    exif = [(0x829A,) + rational(1, 125), (0x829D,) + rational(28, 10), (0x8827,) + short(200),
            (0x9000, 7, 4, b"0230"), (0x9003,) + ascii_(date), (0x9004,) + ascii_(date),
            (0xA002,) + long_(4000), (0xA003,) + long_(3000)]
    main_size = 2 + 12 * len(main) + 4
    main_dir, main_data = directory(8, main, 8 + main_size)
    exif_at = 8 + main_size + len(main_data)
    main[-1] = (0x8769,) + long_(exif_at)
    main_dir, main_data = directory(8, main, 8 + main_size)
    exif_dir, exif_data = directory(exif_at, exif, exif_at + 2 + 12 * len(exif) + 4)
    header = (b"MM" if big else b"II") + struct.pack(e + "HI", 42, 8)
    return header + main_dir + main_data + exif_dir + exif_data

def huffman(table, counts, values):
    return bytes([table]) + bytes(counts) + bytes(values)

dc_counts = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
ac_counts = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
with open(os.path.join(folder, "expected.txt"), "w") as expected:
    for i in range(count):
        date = "%04d:%02d:%02d %02d:%02d:%02d" % (rng.randint(1995, 2030), rng.randint(1, 12),
               rng.randint(1, 28), rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))
        scan = bytes(b if b != 0xFF else 0xFE for b in rng.randbytes(rng.randint(20000, 60000)))
        jpeg = (b"\xFF\xD8"
                + section(0xE0, b"JFIF\0\x01\x01\x01\x00\x48\x00\x48\x00\x00")
                + section(0xE1, b"Exif\0\0" + tiff(i % 2 == 1, date))
                + section(0xDB, b"\x00" + bytes(range(1, 65)) + b"\x01" + bytes(range(2, 66)))
                + section(0xC0, b"\x08\x0B\xB8\x0F\xA0\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01")
                + section(0xC4, huffman(0x00, dc_counts, range(12)) + huffman(0x10, ac_counts, range(1, 163))
                          + huffman(0x01, dc_counts, range(12)) + huffman(0x11, ac_counts, range(1, 163)))
                + section(0xDA, b"\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00")
                + scan + b"\xFF\xD9")
        name = "IMG_%04d.jpg" % i
        with open(os.path.join(folder, name), "wb") as f:
            f.write(jpeg)
        expected.write("%s\t%s\n" % (name, date))
PY

cd "$dir"
files=(IMG_*.jpg)
echo "compare-taken: $count files, $(du -sh . | cut -f1) in $dir"

# Both tools must give the generator's dates before their times mean anything.
for name in "${files[@]:0:3}" "${files[@]: -2}"; do
    want=$(awk -F'\t' -v n="$name" '$1 == n { print $2 }' expected.txt)
    theirs=$(exiv2 -g Exif.Photo.DateTimeOriginal -Pv "$name")
    ours=$("$cli" taken "$name" | cut -f2)
    if [ "$theirs" != "$want" ] || [ "$ours" != "$want" ]; then
        echo "compare-taken: $name: expected '$want', exiv2 '$theirs', vantrel-cli '$ours'" >&2
        exit 1
    fi
done
if ! diff <("$cli" taken "${files[@]}") expected.txt >/dev/null; then
    echo "compare-taken: vantrel-cli taken differs from the written dates" >&2
    exit 1
fi

hyperfine --warmup 3 --min-runs 10 -N --export-json result.json \
    -n "floor: open, read 64 KiB, close" "$floor ${files[*]}" \
    -n "vantrel-cli taken" "$cli taken ${files[*]}" \
    -n "exiv2" "exiv2 -g Exif.Photo.DateTimeOriginal -Pv ${files[*]}"

python3 - result.json <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
ours, theirs = runs["vantrel-cli taken"]["mean"], runs["exiv2"]["mean"]
floor = runs["floor: open, read 64 KiB, close"]["mean"]
print("compare-taken: floor %.1f ms, vantrel-cli %.1f ms (%.2fx the floor), exiv2 %.1f ms "
      "(%.2fx the floor)" % (floor * 1e3, ours * 1e3, ours / floor, theirs * 1e3, theirs / floor))
PY
