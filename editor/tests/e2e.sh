#!/usr/bin/env bash
# A user's journey through the editor in a real window, under a virtual X
# server (the caller runs this inside xvfb-run): select and open chunks, pick
# a model, place the data cursor, insert bytes and type a value, rename a
# chunk through the line prompt, rename a texture in the inspector, verify
# with Control+V, save with Control+S
# through the real file dialog, close the window; then check the files.
#
# usage: e2e.sh VORNABEL MSHTOOL SOURCE_DIR WORK_DIR
# Screenshots of every step stay in WORK_DIR/shots when the run fails.
set -uo pipefail
vornabel=$1
mshtool=$2
src=$3
work=$4

rm -rf "$work"
mkdir -p "$work/mdata" "$work/data/image" "$work/shots" "$work/out dir"
cp "$src/mdata/format.txt" "$work/mdata/"
# The journey's clicks are laid out for a 96 x 60 grid.
printf 'width 96\nheight 60\nscale 2\ntileset data\\image\\curses.png\npalette data\\image\\palette.png\n' \
    > "$work/mdata/graphics.txt"
cp "$src"/data/image/*.png "$work/data/image/"
cp "$src/examples/cube.msh" "$work/work.msh"
cd "$work" || exit 1

pid=
fail() {
    echo "FAIL: $*" >&2
    [ -n "$pid" ] && import -window root "$work/shots/failure.png" 2>/dev/null
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    echo "screenshots kept in $work/shots" >&2
    exit 1
}

"$vornabel" work.msh &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -1)
[ -n "$win" ] || fail "the editor window did not appear"
xdotool windowmove "$win" 0 0
sleep 1
# One cell in pixels, from the window's width of 96 cells.
width=$(xdotool getwindowgeometry --shell "$win" | sed -n 's/^WIDTH=//p')
cell=$((width / 96))
[ "$cell" -gt 0 ] || fail "cannot tell the cell size from a window $width pixels wide"

shot() { import -window "$win" "$work/shots/$1.png"; }
# A click at a cell: press and release at once, quicker than a frame.
click() {
    xdotool mousemove --window "$win" $(($1 * cell + cell / 2)) $(($2 * cell + cell / 2))
    sleep 0.15
    xdotool click "${3:-1}"
    sleep 0.35
}
hover() {
    xdotool mousemove --window "$win" $(($1 * cell + cell / 2)) $(($2 * cell + cell / 2))
    sleep 0.4
}
# Waits up to 10 s for a file to appear.
wait_for() {
    for _ in $(seq 100); do
        [ -e "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
ctrl() {
    xdotool keydown ctrl
    sleep 0.1
    xdotool key "$1"
    sleep 0.1
    xdotool keyup ctrl
}

# Layout of a 96 x 60 grid: tree rows from (1, 7), model list from (19, 24),
# data view from (1, 34), data window from row 43.
shot start
click 2 7    # HEDR: select and open
click 3 8    # MSH2
click 4 9    # SINF
click 21 25  # the model "cube" in the model list
shot model
click 5 10   # SINF's NAME (tree row 3)
click 1 34   # data cursor on byte 0
hover 3 34
shot cursor
click 71 47  # insert 4
click 16 55  # the value box: focus at the end of its text
for _ in 1 2 3 4 5 6 7 8; do xdotool key BackSpace; sleep 0.08; done
xdotool type --delay 80 '$41'
xdotool key Return
sleep 0.3
click 3 53   # input 1
shot edited

click 23 13  # rename: the line prompt opens with the current name
for _ in 1 2 3 4; do xdotool key BackSpace; sleep 0.08; done
xdotool type --delay 80 'NAM2'
sleep 0.2
shot prompt
xdotool key Return
sleep 0.5

# The inspector (right of the chunk actions): open the first material and
# give its texture a longer name in place.
click 4 13   # MATL
click 5 14   # its first MATD
click 6 18   # the MATD's TX0D
click 55 9   # the text in the inspector: the edit box opens
for _ in $(seq 24); do xdotool key BackSpace; sleep 0.05; done
xdotool type --delay 80 'stone_wall_diffuse.tga'
xdotool key Return
sleep 0.5
shot inspector

ctrl v
wait_for log__work.txt || fail "no verification log"
sleep 0.5
shot verdict
xdotool key Return
sleep 0.5
grep -q $'^NAM2: illegal chunk name\r$' log__work.txt || fail "log lacks the renamed chunk: $(cat -A log__work.txt)"

ctrl s
dialog=$(timeout 20 xdotool search --sync --name 'Save Mesh As' 2>/dev/null | head -1)
[ -n "$dialog" ] || fail "the save dialog did not open"
sleep 1
import -window root "$work/shots/dialog.png"
xdotool windowfocus --sync "$dialog" 2>/dev/null
xdotool key ctrl+a
xdotool type --delay 20 "$work/out dir/saved (1).msh"
sleep 0.3
xdotool key Return
wait_for "$work/out dir/saved (1).msh" || fail "the mesh was not saved"
sleep 0.5
shot saved

# Closing the window ends the editor through its main loop.
kill -TERM "$pid"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "editor exit status $status"

saved="$work/out dir/saved (1).msh"
[ -f "$saved" ] || fail "the mesh was not saved"
# The renamed chunk now opens SINF's data, so read it with its name listed.
{ cat mdata/format.txt; echo; echo NAM2; } > format_nam2.txt
"$mshtool" tree --format format_nam2.txt "$saved" > tree.txt || fail "mshtool tree failed"
grep -q '^    SINF 100$' tree.txt || fail "SINF did not grow: $(head -8 tree.txt)"
grep -q '^      NAM2 20$' tree.txt || fail "the renamed, grown chunk is missing: $(head -8 tree.txt)"
grep -qa 'Axamexample_cube' "$saved" || fail "the typed value is not in the saved data"
grep -q '^        TX0D 24$' tree.txt || fail "the texture renamed in the inspector did not grow: $(sed -n 12,20p tree.txt)"
grep -qa 'stone_wall_diffuse.tga' "$saved" || fail "the texture name typed in the inspector is not in the saved file"
# Every container's size is right when a rebuild reproduces the file.
"$mshtool" resave --format mdata/format.txt "$saved" resaved.msh || fail "mshtool resave failed"
cmp -s "$saved" resaved.msh || fail "container sizes in the saved file are not consistent"
printf '%s\r\n\001\001' "$work/out dir" > want_prefs.dat
cmp -s mdata/prefs.dat want_prefs.dat || fail "prefs.dat: $(od -c mdata/prefs.dat | head -3)"

# Undo: an edit taken back and saved gives the original file, byte for byte.
"$vornabel" work.msh &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -1)
[ -n "$win" ] || fail "the editor window did not appear a second time"
xdotool windowmove "$win" 0 0
sleep 1
click 2 7    # HEDR
click 3 8    # MSH2
click 4 9    # SINF
click 5 10   # SINF's NAME
click 1 34   # data cursor on byte 0
click 71 47  # insert 4
shot undo-edited
ctrl z
sleep 0.3
shot undone
ctrl s
dialog=$(timeout 20 xdotool search --sync --name 'Save Mesh As' 2>/dev/null | head -1)
[ -n "$dialog" ] || fail "the save dialog did not open after undo"
sleep 1
xdotool windowfocus --sync "$dialog" 2>/dev/null
xdotool key ctrl+a
xdotool type --delay 20 "$work/undone.msh"
sleep 0.3
xdotool key Return
wait_for "$work/undone.msh" || fail "the mesh was not saved after undo"
sleep 0.5
cmp -s "$work/undone.msh" "$src/examples/cube.msh" || fail "an edit undone and saved is not the original file"

# Closing with an edit pending asks first; cancel keeps the window.
click 71 47  # insert 4 again
kill -TERM "$pid"
sleep 1
shot close-asks
click 53 32  # "cancel" of the save question
sleep 1
kill -0 "$pid" 2>/dev/null || fail "cancel did not keep the editor open"
shot close-cancelled
# The editor is back in its main loop: the pending edit undone, closing asks
# nothing and ends through the loop, which writes the preferences (a popup
# still open would end the program without them).
rm -f mdata/prefs.dat
ctrl z
sleep 0.3
kill -TERM "$pid"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "editor exit status $status after cancel and undo"
[ -f mdata/prefs.dat ] || fail "the editor did not end through its main loop after cancel"
cmp -s "$work/undone.msh" "$src/examples/cube.msh" || fail "closing changed the saved file"

rm -rf "$work/shots"
echo "journey passed"
