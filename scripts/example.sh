#!/usr/bin/env bash
# `make example` (make has built everything): the example applet
# talks to a host peer that prints what it receives. Both use a temporary data
# folder, so nothing of the user's is touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/default/bin
for program in kesh_example_host kesh_example_applet; do
    if [[ ! -x $bin/$program ]]; then
        echo "run: $bin/$program is missing; build with 'make build' first" >&2
        exit 1
    fi
done

data_home=$(mktemp -d "${TMPDIR:-/tmp}/kesh-run-XXXXXX")
host_pid=
cleanup() {
    [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null || true
    rm -rf "$data_home"
}
trap cleanup EXIT

"$bin/kesh_example_host" "$data_home" &
host_pid=$!

# Wait (up to 10 s) for the host's socket before starting the applet.
socket=$data_home/Halvorin/TAMBER_GAMEAPP_SDK
for _ in $(seq 200); do
    [[ -S $socket ]] && break
    kill -0 "$host_pid" 2>/dev/null || break
    sleep 0.05
done

XDG_DATA_HOME=$data_home "$bin/kesh_example_applet"
wait "$host_pid"
host_pid=
