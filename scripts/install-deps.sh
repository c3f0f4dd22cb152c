#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages-<set>.txt that are missing.
# Usage: scripts/install-deps.sh build|test ...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

wanted=()
for set in "$@"; do
    while read -r pkg; do
        [ -n "$pkg" ] && wanted+=("$pkg")
    done <"$here/packages-$set.txt"
done

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
