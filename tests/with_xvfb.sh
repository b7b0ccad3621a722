#!/usr/bin/env bash
# Runs a command under a private virtual X server. Xvfb chooses a free display
# number itself (-displayfd) and reports it once it accepts connections, so
# several of these can start at the same moment without colliding.
#   usage: with_xvfb.sh COMMAND [ARG...]
set -u
dir=$(mktemp -d)
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
number=
read -r number <"$dir/display"
if [ -z "$number" ]; then
  echo "Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  rm -rf "$dir"
  exit 1
fi
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$dir}"
DISPLAY=":$number" "$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$dir"
exit $status
