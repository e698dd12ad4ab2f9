#!/bin/bash
# Regenerates the hostile patch archives of this folder. Each holds a valid control member
# "ncheck_v.txt" first (builds 1 to 2), so that the apply step reaches the hostile items.
# Needs python3 and Info-ZIP zip.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$here" <<'PY'
import struct, sys, zipfile, zlib

here = sys.argv[1]
CONTROL = b"[VERSION]\r\nbfrom=1\r\nbto=2\r\nfinal_version=1.0.2\r\n"

def info(name, mode=0o100644, system=3):
    i = zipfile.ZipInfo(name, (2021, 6, 15, 10, 20, 30))
    i.create_system = system
    i.external_attr = mode << 16
    i.compress_type = zipfile.ZIP_DEFLATED
    return i

def archive(path, items):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr(info("ncheck_v.txt"), CONTROL)
        for name, data, mode in items:
            z.writestr(info(name, mode), data)

# Every escape the name sanitiser knows; all of them end up inside the root.
archive(here + "/escape-names.zip", [
    ("../up-one.txt", b"1", 0o100644),
    ("../../up-two.txt", b"2", 0o100644),
    ("..\\..\\..\\up-three.txt", b"3", 0o100644),
    ("data/../../../../up-four.txt", b"4", 0o100644),
    ("data\\..\\..\\up-five.txt", b"5", 0o100644),
    ("/nb-robust-absolute-probe.txt", b"6", 0o100644),
    ("\\nb-robust-backslash-probe.txt", b"7", 0o100644),
    ("c:\\nb-robust-drive-probe.txt", b"8", 0o100644),
    ("c:/../nb-robust-drive-up-probe.txt", b"9", 0o100644),
    ("//server/share/unc.txt", b"10", 0o100644),
    ("./dot/../../dot-up.txt", b"11", 0o100644),
])

# A link to a folder outside, then an item through the link.
archive(here + "/symlink-escape.zip", [
    ("outside", b"../..", 0o120777),
    ("outside/through-link.txt", b"x", 0o100644),
    ("abs-link", b"/tmp", 0o120777),
    ("abs-link/through-abs-link.txt", b"y", 0o100644),
])

# A name the path buffers cannot hold (300 bytes), after a harmless item.
archive(here + "/long-name.zip", [
    ("short.txt", b"s", 0o100644),
    ("d/" + "n" * 298, b"long", 0o100644),
])

# A stream whose deflate data is damaged halfway, after a harmless item.
payload = bytes((i * 7 + i // 251) & 0xFF for i in range(20000))
path = here + "/corrupt-stream.zip"
archive(path, [("first.txt", b"fine", 0o100644), ("broken.bin", payload, 0o100644)])
data = bytearray(open(path, "rb").read())
with zipfile.ZipFile(path) as z:
    i = z.getinfo("broken.bin")
    start = i.header_offset + 30 + len(i.filename.encode()) + len(i.extra)
for k in range(start + i.compress_size // 2, start + i.compress_size // 2 + 16):
    data[k] ^= 0x5A
open(path, "wb").write(bytes(data))

# Two directory entries that share one local header and its data (the building block of
# overlapping-entry zip bombs), the second under another name of the same length.
path = here + "/overlapping-entries.zip"
archive(path, [("aaaa.bin", b"A" * 65536, 0o100644)])
raw = open(path, "rb").read()
eocd = raw.rindex(b"PK\x05\x06")
count, cd_size, cd_offset = struct.unpack("<HII", raw[eocd + 10:eocd + 20])
cd = raw[cd_offset:cd_offset + cd_size]
# The last central entry is aaaa.bin; copy it with the name bbbb.bin.
last = cd.rindex(b"PK\x01\x02")
twin = cd[last:].replace(b"aaaa.bin", b"bbbb.bin")
new_cd = cd + twin
tail = raw[eocd:eocd + 22]
tail = tail[:8] + struct.pack("<HHII", count + 1, count + 1, len(new_cd), cd_offset) + tail[20:]
open(path, "wb").write(raw[:cd_offset] + new_cd + tail)
PY

# An encrypted item (traditional zip encryption), after the control member.
mkdir -p "$work/enc"
printf '[VERSION]\r\nbfrom=1\r\nbto=2\r\nfinal_version=1.0.2\r\n' > "$work/enc/ncheck_v.txt"
printf 'secret data\n' > "$work/enc/secret.txt"
rm -f "$here/encrypted-item.zip"
(cd "$work/enc" && zip -q "$here/encrypted-item.zip" ncheck_v.txt && zip -q -P password "$here/encrypted-item.zip" secret.txt)
