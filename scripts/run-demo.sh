#!/usr/bin/env bash
# Starts the local database service with the demo database and opens the client.
# usage: scripts/run-demo.sh <builddir>
#
# The database lives in the per-user data folder, so it survives rebuilds; it is created with
# demo customers on the first run. A service left running by an earlier run is reused.
set -euo pipefail

builddir=${1:?usage: scripts/run-demo.sh <builddir>}
builddir=$(cd "$builddir" && pwd)
service_bin=$builddir/service/netsqlited
client_bin=$builddir/app/ledgerdesk
datadir=${XDG_DATA_HOME:-$HOME/.local/share}/ledgerdesk
database=$datadir/whitelist.db
pidfile=$datadir/netsqlited.pid
logfile=$datadir/netsqlited.log
address=127.0.0.1
endpoint=tcp://$address:5566

started_service=""
xvfb_pid=""

die() { echo "run-demo: $*" >&2; exit 1; }

# The pid in the pid file, if it still belongs to a netsqlited on our database.
running_service() {
    [ -f "$pidfile" ] || return 1
    local pid
    pid=$(cat "$pidfile")
    [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 1
    local cmdline
    cmdline=$(tr '\0' ' ' <"/proc/$pid/cmdline")
    [[ $cmdline == *netsqlited*" --database $database "* ]] || return 1
    echo "$pid"
}

start_service() {
    local demo=()
    [ -f "$database" ] || demo=(--demo)
    "$service_bin" --address "$address" --database "$database" "${demo[@]}" >"$logfile" 2>&1 &
    local pid=$!
    for _ in $(seq 100); do
        if grep -q "listening on" "$logfile"; then
            echo "$pid" >"$pidfile"
            started_service=$pid
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    cat "$logfile" >&2
    die "the database service did not start (is something else listening on $endpoint?)"
}

stop_service() {
    [ -n "$started_service" ] || return 0
    kill -TERM "$started_service" 2>/dev/null || true
    wait "$started_service" 2>/dev/null || true
    rm -f "$pidfile"
    started_service=""
}

stop_xvfb() {
    [ -n "$xvfb_pid" ] || return 0
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
}

cleanup() {
    stop_service
    stop_xvfb
}

write_settings() {
    local ini=$builddir/app/wlsetting.ini
    [ -f "$ini" ] && return 0
    mkdir -p "$builddir/app"
    # It holds the database password: readable by this user only.
    (umask 077 && printf '[Db]\nIp=%s\nName=whitelist\nUserName=ledger\nPassword=ledger2026\n' "$address" >"$ini")
    echo "Wrote $ini"
}

# The client encrypts only with the service's public key in section Db; a settings file of an
# earlier run gets it too, in place of any other.
write_server_key() {
    local ini=$builddir/app/wlsetting.ini
    grep -qxF "ServerKey=$server_key" "$ini" && return 0
    local rewritten
    rewritten=$(mktemp "$ini.XXXXXX")
    awk -v key="$server_key" '
        /^\[/ { in_db = tolower($0) ~ /^\[db\][[:space:]]*$/ }
        in_db && tolower($0) ~ /^serverkey[[:space:]]*=/ { next }
        { print }
        in_db && /^\[/ { print "ServerKey=" key }
    ' "$ini" >"$rewritten"
    mv "$rewritten" "$ini"
    echo "Wrote the service's public key into $ini"
}

start_xvfb() {
    local n=99
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    echo "No display found: starting a virtual one (Xvfb :$n). The client runs there unseen;"
    echo "set DISPLAY to use a real screen."
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    export DISPLAY=":$n"
}

print_access() {
    cat <<EOF
LedgerDesk demo database service
  endpoint:  $endpoint
  database:  $database
  database account (wlsetting.ini, section Db):  ledger / ledger2026
  operator account (login dialog):               admin / admin123
  encrypted with the service's public key:       $server_key
EOF
}

[ -x "$service_bin" ] || die "$service_bin is missing: build the project first"
mkdir -p "$datadir"
trap cleanup EXIT
trap 'exit 130' INT TERM

if pid=$(running_service); then
    echo "Reusing the database service already running (pid $pid)."
    grep -q "^netsqlited: encrypted" "$logfile" ||
        die "the service running (pid $pid) is in clear, from an earlier version: stop it (kill $pid) and run again"
else
    start_service
fi
server_key=$("$service_bin" --database "$database" --print-public-key) ||
    die "cannot read the database service's public key"
write_settings
write_server_key
print_access

if [ -x "$client_bin" ]; then
    [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || start_xvfb
    (cd "$(dirname "$client_bin")" && "$client_bin") || echo "The client ended with status $?."
    exit 0
fi

if [ -z "$started_service" ]; then
    echo "The client is not built yet; the service keeps running (stop it with: kill $pid)."
    exit 0
fi
echo "The client is not built yet. The service runs until Ctrl-C."
wait "$started_service" || true
started_service=""
rm -f "$pidfile"
