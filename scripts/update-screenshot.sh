#!/usr/bin/env bash
# Refreshes the README's picture of the dialog, docs/screenshot.png: runs scripts/run.sh without a
# display (which pictures the dialog under build/) and copies its picture there. Commit the result.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${LINKMEND_BUILD_DIR:-build/win32}
env -u DISPLAY scripts/run.sh "$@"
cp "$build/linkmend-dialog.png" docs/screenshot.png
echo "updated: $root/docs/screenshot.png"
