#!/usr/bin/env bash
# Copies the in-game add-on KESHVistrelxmit into the game's Interface/AddOns
# folders: every game folder (_retail_, _classic_, _classic_era_,
# _anniversary_, ...) found in the usual Wine, Proton (Steam), Lutris and
# Bottles prefixes, and in any folder named on the command line.
#
#   install-addon.sh [--list] [FOLDER ...]
#     --list   only show the game folders found
#     FOLDER   also search there: a Wine prefix, a game folder or its parent
set -euo pipefail

addon_name=KESHVistrelxmit
here=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")" && pwd)
# The source tree (scripts/../addon) or the package (bin/../share/kesh-vistrel/addon).
addon=
for candidate in "$here/../addon/$addon_name" "$here/../share/kesh-vistrel/addon/$addon_name" \
    "/usr/share/kesh-vistrel/addon/$addon_name"; do
    if [[ -f $candidate/$addon_name.toc ]]; then
        addon=$(cd "$candidate" && pwd)
        break
    fi
done
if [[ -z $addon ]]; then
    echo "install-addon: the add-on $addon_name was not found next to this script" >&2
    exit 1
fi

list_only=false
roots=()
for argument in "$@"; do
    case $argument in
    --list) list_only=true ;;
    -h | --help)
        sed -n '2,9s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
        exit 0
        ;;
    -*)
        echo "install-addon: unknown option $argument (see --help)" >&2
        exit 2
        ;;
    *) roots+=("$argument") ;;
    esac
done

# Steam keeps further libraries in libraryfolders.vdf ("path" "/games/SteamLibrary").
steam_roots=("$HOME/.local/share/Steam" "$HOME/.steam/steam" "$HOME/.var/app/com.valvesoftware.Steam/.local/share/Steam")
for steam in "${steam_roots[@]}"; do
    [[ -f $steam/steamapps/libraryfolders.vdf ]] || continue
    while IFS= read -r library; do
        steam_roots+=("$library")
    done < <(sed -n 's/^[[:space:]]*"path"[[:space:]]*"\(.*\)"[[:space:]]*$/\1/p' "$steam/steamapps/libraryfolders.vdf")
done
for steam in "${steam_roots[@]}"; do
    roots+=("$steam/steamapps/compatdata")
done
roots+=("${WINEPREFIX:-$HOME/.wine}" "$HOME/.wine" "$HOME/Games" "$HOME/.local/share/lutris"
    "$HOME/.local/share/bottles/bottles" "$HOME/.var/app/com.usebottles.bottles/data/bottles/bottles")

# A game folder is a folder _name_ in "World of Warcraft" with the game's files.
game_folders() {
    local root
    for root in "${roots[@]}"; do
        [[ -d $root ]] || continue
        find "$root" -maxdepth 8 \( -name windows -o -name dosdevices -o -name AddOns \) -prune -o \
            -type d -path '*/World of Warcraft/_*_' -print -prune 2>/dev/null
    done | while IFS= read -r folder; do
        if [[ -e $folder/.flavor.info || -d $folder/Interface ]] || compgen -G "$folder/Wow*.exe" >/dev/null; then
            readlink -f "$folder"
        fi
    done | sort -u
}

mapfile -t folders < <(game_folders)
if ((${#folders[@]} == 0)); then
    echo "install-addon: no game folder found. Name the folder that holds _retail_ (or the Wine prefix):" >&2
    echo "  $0 \"/path/to/World of Warcraft\"" >&2
    exit 1
fi
for folder in "${folders[@]}"; do
    if $list_only; then
        echo "$folder"
        continue
    fi
    target=$folder/Interface/AddOns
    mkdir -p "$target"
    rm -rf "${target:?}/$addon_name"
    cp -R "$addon" "$target/$addon_name"
    echo "Installed $addon_name in $target"
done
$list_only || echo "Restart the game (or type /reload in it) and enable $addon_name on the character screen."
