#!/usr/bin/env bash
# Plays the user's browser for the end-to-end test; installed first on PATH as "xdg-open"
# (and named in BROWSER), it is what the desktop opens links with. It notes each link in
# $ORVANTA_E2E_BROWSER_LOG, loads it, and when the page redirects to an "orvanta:" link,
# hands that link to the application as the desktop's scheme handler would
# (Exec=orvanta %u), using $ORVANTA_E2E_APP as the orvanta executable.
set -euo pipefail
url=${1:?usage: xdg-open URL}
echo "$url" >>"${ORVANTA_E2E_BROWSER_LOG:?}"
location=$(curl --silent --show-error --max-time 20 --output /dev/null \
    --write-out '%{redirect_url}' "$url")
case "$location" in
orvanta:*) exec "${ORVANTA_E2E_APP:?}" "$location" ;;
*) echo "stand-in browser: $url did not lead back to the application" >&2; exit 1 ;;
esac
