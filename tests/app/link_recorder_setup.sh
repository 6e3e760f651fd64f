#!/usr/bin/env bash
# Prepares a throwaway Wine prefix so that the addresses the shell opens are recorded instead of
# shown: Wine's browser and mailer become a script that appends each address to C:\opened.txt.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../cmake/wine-env.sh"
recorder="$WINEPREFIX/drive_c/linkmend-recorder.sh"
cat >"$recorder" <<'SCRIPT'
#!/bin/sh
printf '%s\n' "$*" >>"$(dirname "$0")/opened.txt"
SCRIPT
chmod +x "$recorder"
for value in Browsers Mailers; do
    linkmend_wine reg add 'HKCU\Software\Wine\WineBrowser' /v "$value" /d "$recorder" /f >/dev/null 2>&1
done
wineserver -w
