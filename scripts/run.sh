#!/usr/bin/env bash
# The main job of `make run` (make has built everything): the application with
# a companion host. Without a display it plays the demo on a private X server
# and prints what the companion display shows.
set -euo pipefail
exec bash "$(dirname "$0")/demo.sh" "$@"
