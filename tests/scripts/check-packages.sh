#!/usr/bin/env bash
# Builds the Debian packages, installs them on this machine with apt-get, checks what they
# installed (the programs start, the desktop knows the entry and the orvanta: handler, the
# validators accept the installed files) and removes them again. Installs system-wide: run
# it as root on a CI machine, or when you mean it. Refuses to touch an installed orvanta.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
"$root/scripts/install-deps.sh" build test

fail() {
    echo "check-packages.sh: $*" >&2
    exit 1
}
# Purging at the end would take a user's own installation, or its kept settings, with it.
for package in orvanta orvanta-service; do
    case "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)" in
    "" | *not-installed) ;;
    *) fail "$package is (or was) installed here; purge it first" ;;
    esac
done

"$root/scripts/package.sh" >/dev/null
cd "$root/build/package"
scratch=$(mktemp -d)
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get remove --purge -y -qq orvanta \
            orvanta-service >/dev/null 2>&1 || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

# The desktop's view of the orvanta: scheme, for a user without settings of their own.
scheme_handler() {
    env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION HOME="$scratch/home" \
        XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share" \
        XDG_DATA_DIRS=/usr/local/share:/usr/share XDG_CONFIG_DIRS=/etc/xdg \
        xdg-mime query default x-scheme-handler/orvanta 2>/dev/null || true
}
mkdir -p "$scratch/home"
[ -z "$(scheme_handler)" ] || fail "something handles orvanta: before the package is installed"

installed=yes
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    ./orvanta_*.deb ./orvanta-service_*.deb >/dev/null

# The version the application compares update feeds with is the package's.
package_version=$(dpkg-query -W -f='${Version}' orvanta)
[ "$(/usr/bin/orvanta --version)" = "orvanta ${package_version%-*}" ] ||
    fail "orvanta --version says \"$(/usr/bin/orvanta --version)\", the package is $package_version"
[ "$(/usr/bin/orvanta-service --version)" = "orvanta-service ${package_version%-*}" ] ||
    fail "orvanta-service --version does not match the package version $package_version"
for package in orvanta orvanta-service; do
    dpkg-query -W -f='${Depends}' "$package" | grep 'libc6' >/dev/null ||
        fail "$package does not depend on the libraries it links (dpkg-shlibdeps)"
done
# FFmpeg is opened at the first recording, not linked: the package must name it itself.
needed=$(objdump -p /usr/bin/orvanta | awk '/NEEDED/ { print $2 }')
# Qt Quick and QML are in the views library, opened when a view is first shown.
for library in Qt6Quick Qt6Qml; do
    ! grep -q "^lib$library\\." <<<"$needed" || fail "/usr/bin/orvanta links lib$library at start-up"
done
for library in avcodec avformat avutil; do
    ! grep -q "^lib$library\\." <<<"$needed" ||
        fail "/usr/bin/orvanta links lib$library at start-up"
    dpkg-query -W -f='${Depends}' orvanta | grep "lib$library[0-9]" >/dev/null ||
        fail "orvanta does not depend on lib$library, which it opens to record"
done

status=0
output=$(/usr/bin/orvanta --status 2>&1) || status=$?
[ "$status" -eq 1 ] && [[ "$output" == *"not running"* ]] ||
    fail "orvanta --status without an instance answered $status: $output"
# The installed application starts, answers and quits on a private X server.
started=$("$root/tests/scripts/with-xvfb.sh" bash -c '
    /usr/bin/orvanta >"$HOME/orvanta.log" 2>&1 &
    app=$!
    for _ in $(seq 1 100); do
        if answer=$(/usr/bin/orvanta --status 2>/dev/null); then break; fi
        kill -0 "$app" 2>/dev/null || break
        sleep 0.2
    done
    # The settings window comes from the views library, opened on this first use.
    /usr/bin/orvanta --settings >/dev/null 2>&1 || true
    for _ in $(seq 1 50); do
        if xdotool search --onlyvisible --name "^Orvanta Settings$" >/dev/null 2>&1; then
            answer="$answer settings"
            break
        fi
        sleep 0.2
    done
    /usr/bin/orvanta --quit >/dev/null 2>&1 || kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    echo "${answer:-no answer} $(grep -m1 "Cannot load the views" "$HOME/orvanta.log")"')
[[ "$started" == idle$'\t'signed-*" settings " ]] ||
    fail "the installed orvanta answered --status and --settings: $started"

[ "$(scheme_handler)" = "orvanta.desktop" ] ||
    fail "xdg-mime names \"$(scheme_handler)\" as the orvanta: handler, not orvanta.desktop"
desktop-file-validate /usr/share/applications/orvanta.desktop
appstreamcli validate --no-net --strict /usr/share/metainfo/com.orvanta.*.metainfo.xml >/dev/null
for size in 16 22 24 32 48 64 128 256 512; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/orvanta.png
    [ "$(identify -format '%m %wx%h' "$icon" 2>/dev/null)" = "PNG ${size}x${size}" ] ||
        fail "$icon is not a ${size}x${size} PNG"
done
[ -f /usr/share/icons/hicolor/scalable/apps/orvanta.svg ] || fail "no scalable icon"
[ -f /usr/share/orvanta/help/microphone.html ] || fail "no help pages"
views=$(dpkg -L orvanta | grep '/orvanta/liborvanta-views\.so$' || true)
[ -n "$views" ] && [ -f "$views" ] || fail "no views library in the orvanta package"
# Slim systems leave manual pages out when installing: look into the packages themselves.
dpkg-deb -c orvanta_*.deb | grep ' ./usr/share/man/man1/orvanta.1.gz$' >/dev/null || fail "no man orvanta"
dpkg-deb -c orvanta-service_*.deb | grep ' ./usr/share/man/man1/orvanta-service.1.gz$' >/dev/null ||
    fail "no man orvanta-service"

unit=/usr/lib/systemd/system/orvanta-service.service
systemd-analyze verify --man=no "$unit"
systemd-analyze security --offline=yes --threshold=16 "$unit" >/dev/null ||
    fail "the service unit lost its hardening: $(systemd-analyze security --offline=yes "$unit" | tail -1)"
dpkg-query -W -f='${Conffiles}' orvanta-service | grep '/etc/orvanta-service.conf' >/dev/null ||
    fail "/etc/orvanta-service.conf is no conffile"
/usr/bin/orvanta-service --config /etc/orvanta-service.conf --data "$scratch/service" \
    list-users >/dev/null || fail "orvanta-service does not take the installed settings file"

installed=""
DEBIAN_FRONTEND=noninteractive $sudo apt-get remove --purge -y -qq orvanta orvanta-service >/dev/null
for file in /usr/bin/orvanta /usr/bin/orvanta-service /usr/share/applications/orvanta.desktop \
    "$views" "$unit" /etc/orvanta-service.conf /usr/share/metainfo/com.orvanta.talvo.metainfo.xml; do
    [ ! -e "$file" ] || fail "$file is left after removing the packages"
done
[ -z "$(scheme_handler)" ] || fail "orvanta: is still handled after removing the package"
echo "check-packages.sh: orvanta $package_version installs, starts and removes cleanly"
