#!/usr/bin/env bash
# Refreshes the README's picture of the dialog, docs/screenshot.png: runs scripts/run.sh without a
# display (which pictures the dialog under build/) and copies its picture there. Commit the result.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
picture=$(env -u DISPLAY scripts/run.sh "$@" | tee /dev/stderr | sed -n 's/^dialog: //p')
[ -n "$picture" ] || { echo "update-screenshot.sh: scripts/run.sh pictured no dialog" >&2; exit 1; }
cp "$picture" docs/screenshot.png
echo "updated: $root/docs/screenshot.png"
