#!/usr/bin/env bash
# Installs what is missing, builds Orvanta and orvanta-service, starts the service on this
# computer (offline recognition, one-click sign-in, data under the user's data folder) and runs
# the application against it. The service is stopped when the application exits.
# Extra arguments go to orvanta. With ORVANTA_SERVICE_URL set in the environment no local
# service is started and the application uses that address instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
port=${ORVANTA_LOCAL_PORT:-8787}
local_url="http://127.0.0.1:$port"

"$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANTA_BUILD_TESTS=OFF -DORVANTA_BUILD_BENCHMARKS=OFF -DORVANTA_BUILD_SERVICE=ON \
    -DORVANTA_SERVICE_URL="$local_url" -DORVANTA_ACCOUNT_URL="$local_url" >/dev/null
cmake --build "$build" --target orvanta orvanta-service
app="$build/src/app/orvanta"

# The application registers itself as the handler of orvanta: links (the browser's sign-in
# callback) when nothing else is.
data_home=${XDG_DATA_HOME:-$HOME/.local/share}

if [ -n "${ORVANTA_SERVICE_URL:-}" ]; then
    exec "$app" "$@"
fi

answers() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

service_pid=""
stop_service() {
    if [ -n "$service_pid" ]; then
        kill "$service_pid" 2>/dev/null || true
        wait "$service_pid" 2>/dev/null || true
    fi
}
trap stop_service EXIT
trap 'exit 130' INT TERM

if answers; then
    echo "A service already answers on $local_url; using it."
else
    "$build/server/orvanta-service" --listen 127.0.0.1 --port "$port" \
        --data "$data_home/orvanta-service" --backend local \
        --local-user "${USER:-$(id -un)}@localhost" &
    service_pid=$!
    for _ in $(seq 1 100); do
        answers && break
        kill -0 "$service_pid" 2>/dev/null || { echo "orvanta-service did not start" >&2; exit 1; }
        sleep 0.1
    done
fi

export ORVANTA_SERVICE_URL="$local_url" ORVANTA_ACCOUNT_URL="$local_url"
"$app" "$@"
