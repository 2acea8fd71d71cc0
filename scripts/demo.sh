#!/usr/bin/env bash
# Kesh Vistrel end to end.
#
# Without a display: runs the demo on a private X server (Xvfb). A companion
# host and the application start in a temporary folder, the strip painter
# sends a character message and an NPC message as the in-game add-on would,
# and once the host has the pages the script prints what the host shows and
# where a screenshot of the screen was saved, then stops everything.
#
# With a display: starts a companion host when none is listening yet (for
# phones on the network too, at the default port 8765: it prints its
# addresses and a QR code), then the application; quitting the application
# also stops a host started here.
#
# BUILD_DIR chooses the build tree (default: build/default).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BUILD_DIR:-build/default}/bin

need() {
    for program in "$@"; do
        if [[ ! -x $bin/$program ]]; then
            echo "demo: $bin/$program is missing; build it first (make build)" >&2
            exit 1
        fi
    done
}

# Waits for a condition (a command) for up to $1 seconds; false when it never held.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# A field of the display.json a running host keeps in its state folder: the
# addresses there carry the access token.
display_field() { # state-folder field
    sed -n "s/.*\"$2\":\"\([^\"]*\)\".*/\1/p" "$1/display.json" 2>/dev/null
}
has_url() { [[ -n $(display_field "$1" url) ]]; }

start_host() { # data-home state-folder log [kesh-host options...]
    rm -f "$2/display.json"
    XDG_DATA_HOME=$1 "$bin/kesh-host" --state "$2" "${@:4}" 2>"$3" &
    host_pid=$!
    if ! wait_for 15 has_url "$2"; then
        echo "demo: the companion host did not start:" >&2
        cat "$3" >&2
        exit 1
    fi
}

stop() { # pid
    [[ -n ${1:-} ]] || return 0
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# Whether a host listens on the socket; without ss, a socket file counts.
listening() {
    if command -v ss >/dev/null; then
        ss -xl 2>/dev/null | grep -qF "$1"
    else
        [[ -S $1 ]]
    fi
}

run_with_display() {
    need KeshVistrel kesh-host
    local data_home=${XDG_DATA_HOME:-$HOME/.local/share}
    local state=${XDG_STATE_HOME:-$HOME/.local/state}/kesh-host
    local socket=$data_home/Halvorin/TAMBER_GAMEAPP_SDK
    host_pid=
    if ! listening "$socket"; then
        local log
        log=$(mktemp "${TMPDIR:-/tmp}/kesh-host-XXXXXX.log")
        start_host "$data_home" "$state" "$log" --lan
        echo "(host log: $log)"
        trap 'stop "$host_pid"' EXIT
    elif has_url "$state"; then
        echo "Companion display at $(display_field "$state" url)"
    fi
    "$bin/KeshVistrel"
}

run_headless() {
    need KeshVistrel kesh-host strip-painter
    local work
    work=$(mktemp -d "${TMPDIR:-/tmp}/kesh-vistrel-demo-XXXXXX")
    export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
    mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    host_pid= app_pid= painter_pid=
    trap 'stop "$painter_pid"; stop "$app_pid"; stop "$host_pid"' EXIT

    # A port of its own: the demo's host lives only as long as the demo.
    start_host "$XDG_DATA_HOME" "$work/state" "$work/host.log" --http 127.0.0.1:0 >"$work/host.out"
    local url state_url
    url=$(display_field "$work/state" url)
    state_url=$(display_field "$work/state" localUrl)
    state_url=${state_url/\/\?token=/\/state?token=}
    local files=$XDG_DATA_HOME/kesh-host/com.Pellmoor.Kesh-Vistrel/files

    "$bin/KeshVistrel" >"$work/app.log" 2>&1 &
    app_pid=$!
    if ! wait_for 30 test -f "$files/update.html"; then
        echo "demo: the application did not reach the host" >&2
        cat "$work/app.log" "$work/host.log" >&2
        exit 1
    fi

    # Cells of 80/12 pixels from the corner: what an application that was
    # never calibrated reads.
    "$bin/strip-painter" message "Thrall-Aerie Peak" N10184 --cell 6.6667 >"$work/painter.log" 2>&1 &
    painter_pid=$!

    shown() { curl -fsS "$state_url" 2>/dev/null | grep -q '"shownPage":"wowhead.html"'; }
    if ! wait_for 60 shown || ! test -f "$files/vistrel.html"; then
        echo "demo: the host did not get both pages in time" >&2
        cat "$work/painter.log" "$work/host.log" >&2
        exit 1
    fi
    wait "$painter_pid" 2>/dev/null || true
    painter_pid=

    import -window root "$work/screenshot.png"

    echo "Companion host: $url"
    echo "Stored for Kesh Vistrel: $(cd "$files" && ls | tr '\n' ' ')"
    echo "Character page (vistrel.html) mentions:"
    grep -o -i -E 'thrall|aerie-peak' "$files/vistrel.html" | sort -u | sed 's/^/  /'
    echo "NPC page (wowhead.html) mentions:"
    grep -o -E 'npc=10184|10184' "$files/wowhead.html" | sort -u | sed 's/^/  /'
    echo "Shown on the companion display now: $(curl -fsS "$state_url" | grep -o '"shownPage":"[^"]*"')"
    echo "Screenshot: $work/screenshot.png"
    echo "Logs: $work/host.log $work/painter.log"
}

if [[ ${1:-} == --headless-inner ]]; then
    run_headless
elif [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" --headless-inner
else
    run_with_display
fi
