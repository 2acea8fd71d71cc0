#!/usr/bin/env bash
# Builds the Debian packages from this build tree and checks them as a player
# and an applet's developer meet them: what each package holds and depends on,
# lintian, an applet built against the development package, the packaged host
# started by socket activation when that applet connects, and the add-on
# installer on a player's game folders.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kv-package-XXXXXX")
activator=
trap '[[ -n $activator ]] && kill "$activator" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Waits for a condition (a command) for up to $1 seconds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

(cd "$build" && cpack --config CPackConfig.cmake -B "$work/out") >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not build the packages"; }
app=$(echo "$work"/out/kesh-vistrel_*.deb)
lib=$(echo "$work"/out/libhalvorinkeshcontrol1_*.deb)
dev=$(echo "$work"/out/libhalvorinkeshcontrol-dev_*.deb)

# package, then what it must hold (a path, as an extended regular expression)
# or, after "!", what none of them may hold.
contents=(
    "$app ./usr/bin/KeshVistrel ./usr/bin/kesh-host ./usr/bin/kesh-vistrel-install-addon"
    "$app ./usr/share/kesh-vistrel/addon/KESHVistrelxmit/KESHVistrelxmit.toc ./usr/share/kesh-vistrel/update.html"
    "$app ./usr/share/applications/kesh-vistrel.desktop ./usr/share/metainfo/com.pellmoor.KeshVistrel.metainfo.xml"
    "$app ./usr/share/icons/hicolor/scalable/apps/kesh-vistrel.svg ./usr/share/icons/hicolor/48x48/apps/kesh-vistrel.png"
    "$app ./usr/lib/systemd/user/kesh-host.socket ./usr/lib/systemd/user/kesh-host.service"
    "$lib ./usr/lib/[^/]+/libHalvorinKeshControl.so.1 ./usr/lib/[^/]+/libkvcorefoundation.so.1"
    "$dev ./usr/include/HalvorinKeshControl.h ./usr/lib/[^/]+/libHalvorinKeshControl.so"
    "$dev ./usr/lib/[^/]+/cmake/HalvorinKeshControl/HalvorinKeshControlConfig.cmake"
    "! strip-painter _tests$ /usr/local/ \.a$ \.ui$"
)
for entry in "${contents[@]}"; do
    read -r package paths <<<"$entry"
    if [[ $package == "!" ]]; then
        for pattern in $paths; do
            for deb in "$app" "$lib" "$dev"; do
                ! dpkg-deb -c "$deb" | awk '{print $6}' | grep -Eq -- "$pattern" ||
                    fail "$(basename "$deb") holds something matching $pattern"
            done
        done
        continue
    fi
    listing=$(dpkg-deb -c "$package" | awk '{print $6}')
    for path in $paths; do
        grep -Eqx -- "$path" <<<"$listing" || fail "$(basename "$package") lacks $path"
    done
done

# package, then what its Depends must name (the SDK exactly in its own version).
version=$(dpkg-deb -f "$lib" Version)
dependencies=(
    "$app libhalvorinkeshcontrol1_(=_$version) libqt6widgets6 libcanberra0 libasound2 libsystemd0 libpng16-16 libicu72 libqrencode4 libavahi-client3"
    "$dev libhalvorinkeshcontrol1_(=_$version)"
    "$lib libglib2.0-0 libstdc++6"
)
for entry in "${dependencies[@]}"; do
    read -r package needs <<<"$entry"
    depends=" $(dpkg-deb -f "$package" Depends | tr -d ' ' | tr ',' ' ') "
    for need in $needs; do
        grep -Fq " ${need//_/}" <<<"$depends" ||
            fail "$(basename "$package") does not depend on ${need//_/ }: $depends"
    done
done

lintian --fail-on error --tag-display-limit 0 "$app" "$lib" "$dev" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian finds errors"; }

root=$work/root
for deb in "$app" "$lib" "$dev"; do dpkg-deb -x "$deb" "$root"; done
appstreamcli validate --no-net "$root/usr/share/metainfo/com.pellmoor.KeshVistrel.metainfo.xml" >"$work/appstream.log" 2>&1 || true
! grep -q "^E:" "$work/appstream.log" || { cat "$work/appstream.log"; fail "the AppStream metadata is not valid"; }

# The example applet, built against the installed development package alone.
mkdir -p "$work/applet"
cat >"$work/applet/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(applet C)
find_package(HalvorinKeshControl REQUIRED)
add_executable(applet $here/../../examples/ExampleApplet.c)
target_link_libraries(applet HalvorinKeshControl::HalvorinKeshControl)
CMAKE
cmake -S "$work/applet" -B "$work/applet/build" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" >"$work/applet.log" 2>&1 &&
    cmake --build "$work/applet/build" >>"$work/applet.log" 2>&1 ||
    { cat "$work/applet.log"; fail "an applet does not build against the development package"; }

# The host as its units run it: the socket listens first, and the host starts
# with the first connection, so the applet's Init succeeds before it exists.
home=$work/home
unit=$root/usr/lib/systemd/user
socket=$(sed -n 's/^ListenStream=//p' "$unit/kesh-host.socket")
socket=${socket//%h/$home}
read -r host host_options < <(sed -n 's/^ExecStart=//p' "$unit/kesh-host.service")
host=$root$host
mkdir -p "$(dirname "$socket")"
HOME=$home XDG_STATE_HOME=$home/state systemd-socket-activate -l "$socket" \
    "$host" $host_options --http 127.0.0.1:0 --data "$work/data" >"$work/host.log" 2>&1 &
activator=$!
wait_for 10 test -S "$socket" || { cat "$work/host.log"; fail "the socket unit's socket never appeared"; }
[[ $(readlink "/proc/$activator/exe") != "$host" ]] || fail "the host ran before any applet connected"
HOME=$home XDG_DATA_HOME=$home/.local/share "$work/applet/build/applet" ||
    { cat "$work/host.log"; fail "the applet's Init failed on the activated socket"; }
stored() { compgen -G "$work/data/*/files/hello.html" >/dev/null; }
wait_for 10 stored || { cat "$work/host.log"; fail "the activated host did not store the applet's page"; }
[[ $(readlink "/proc/$activator/exe") == "$host" ]] || fail "the socket was not served by the packaged host"

# The add-on installer of the package, on a Proton and a Lutris prefix.
games=$work/player
proton="$games/.local/share/Steam/steamapps/compatdata/1/pfx/drive_c/Program Files (x86)/World of Warcraft/_retail_"
lutris="$games/Games/battlenet/drive_c/Program Files (x86)/World of Warcraft/_classic_era_"
mkdir -p "$proton/Interface" "$lutris"
touch "$lutris/WowClassic.exe"
HOME=$games "$root/usr/bin/kesh-vistrel-install-addon" >"$work/addon.log" 2>&1 ||
    { cat "$work/addon.log"; fail "the add-on installer failed"; }
for game in "$proton" "$lutris"; do
    diff -r "$root/usr/share/kesh-vistrel/addon/KESHVistrelxmit" "$game/Interface/AddOns/KESHVistrelxmit" ||
        fail "the add-on was not installed in $game"
done
echo "packages: $(cd "$work/out" && ls *.deb | tr '\n' ' ')"
