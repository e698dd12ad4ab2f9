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
