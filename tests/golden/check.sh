#!/usr/bin/env bash
# The golden runs compared with their recorded checksums:
#   check.sh PROGRAM [--record]
# --record writes checksums.sha256 anew (only when an output is meant to change).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/runs.sh" "$1" "$here/../fixtures" "$work"
cd "$work"
outputs=$(ls ground* point* polygon* preset* background* saved*)
# The glTF files' bounds against their data, which no checksum can tell right from wrong.
if ! bounds=$(python3 "$here/../gltf/bounds.py" ./*.glb ./*.gltf); then
    echo "$bounds" >&2
    echo "golden: 0 passed, 1 failed (a glTF file's bounds are not its data's)" >&2
    exit 1
fi
if [ "${2:-}" = --record ]; then
    sha256sum $outputs > "$here/checksums.sha256"
    echo "recorded $(wc -l < "$here/checksums.sha256") checksums"
    exit 0
fi
if ! sha256sum --quiet -c "$here/checksums.sha256"; then
    echo "golden: 0 passed, 1 failed (outputs differ from tests/golden/checksums.sha256)" >&2
    exit 1
fi
echo "golden: 1 passed, 0 failed"
