#!/bin/bash
# Regenerates the archives of this folder, made by tools other than the launcher's own
# patch builder: Info-ZIP's zip on a Unix host, and Python's zipfile posing as a Windows
# tool (DOS attribute bits, backslash names). The tests build every other archive they
# need while they run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/src/bin" "$work/src/data"
printf '#!/bin/sh\necho run\n' > "$work/src/bin/run.sh"
printf 'hello\n' > "$work/src/data/readme.txt"
chmod 755 "$work/src/bin/run.sh"
chmod 644 "$work/src/data/readme.txt"
touch -d @1600000000 "$work/src/bin/run.sh" "$work/src/data/readme.txt" "$work/src/bin" "$work/src/data"
rm -f "$here/infozip-unix.zip"
# The items carry a "UT" timestamp block and a Unix uid/gid block.
(cd "$work/src" && TZ=UTC zip -q -r "$here/infozip-unix.zip" bin data)

python3 - "$here/dos-backslash.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name, data, attributes in [("sub\\dir\\", b"", 0x10),
                                   ("sub\\dir\\a.txt", b"a\r\n", 0x20),
                                   ("sub\\dir\\ro.txt", b"read only\r\n", 0x21)]:
        info = zipfile.ZipInfo(name, (2020, 9, 13, 12, 26, 40))
        info.create_system = 0
        info.external_attr = attributes
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data)
PY

# ZIP64 records where nothing needs them, from two writers: Info-ZIP reading a pipe (sizes
# in the local header's ZIP64 block, ZIP64 end records), and Python's zipfile told that
# every value is too large (ZIP64 blocks in every directory record, sizes and offsets).
rm -f "$here/infozip-zip64.zip"
seq 1 2000 | sed 's/$/ streamed through a pipe/' | (cd "$work" && zip -q "$here/infozip-zip64.zip" -)
python3 - "$here/python-zip64.zip" <<'PY'
import sys, zipfile
zipfile.ZIP64_LIMIT = -1
zipfile.ZIP_FILECOUNT_LIMIT = -1
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name, data, mode in [("big/", b"", 0o40755),
                             ("big/first.txt", b"first\n" * 1000, 0o100644),
                             ("big/tool", b"#!/bin/sh\necho tool\n", 0o100755)]:
        info = zipfile.ZipInfo(name, (2022, 3, 4, 5, 6, 8))
        info.create_system = 3
        info.external_attr = mode << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data)
PY
