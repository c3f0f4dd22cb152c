#!/usr/bin/env bash
# Plays the user's browser for the end-to-end tests; installed first on PATH as "xdg-open",
# it is what the desktop opens links with. It loads the link. A page that shows a form without
# fields (a one-click sign-in) gets its button pressed: the form is posted to its action.
# When a page redirects
# to an "orvanta:" link, the link goes to the application as the desktop's scheme handler
# would hand it (Exec=orvanta %u), using $ORVANTA_E2E_APP as the orvanta executable.
set -euo pipefail
url=${1:?usage: xdg-open URL}
page=$(mktemp)
trap 'rm -f "$page"' EXIT

# Loads a page into $page; prints where it redirects to.
load() {
    curl --silent --show-error --max-time 60 --output "$page" --write-out '%{redirect_url}' "$@"
}

location=$(load "$url")
if [[ -z $location ]] && ! grep -q '<input' "$page"; then
    action=$(grep -o '<form method="post" action="[^"]*"' "$page" | head -n 1 |
        sed -e 's/.*action="//' -e 's/"$//' || true)
    origin=$(sed -E 's#^([a-z]+://[^/]+).*#\1#' <<<"$url")
    case "$action" in
    http://* | https://*) location=$(load --data '' "$action") ;;
    /*) location=$(load --data '' "$origin$action") ;;
    esac
fi
rm -f "$page"
case "$location" in
orvanta:*) exec "${ORVANTA_E2E_APP:?}" "$location" ;;
*) echo "stand-in browser: $url did not lead back to the application" >&2; exit 1 ;;
esac
