#!/usr/bin/env bash
# End-to-end run of the real editor in a real X server: File > Open through
# the real file dialog, choose a song and a part, click a Square 1 cell in
# note mode, File > Save, then check the saved file byte for byte; then undo
# the click with Ctrl+Z, File > Save again, and the file equals the original.
#
# The saved file then goes through the README's kestrin-rom example: diff,
# IPS patch, apply to the original, compare.
#
# usage: run_e2e.sh EDITOR DEMO_ROM_MAKER ROM_CHECK OUTPUT_FOLDER KESTRIN_ROM
# A screenshot of the screen is taken after each step into OUTPUT_FOLDER.
set -euo pipefail

editor=$1 demo_maker=$2 rom_check=$3 out=$4 kestrin_rom=$5

# Where to click, in pixels from the window's top-left corner (the window
# has a fixed layout at 96 dpi; no window manager runs, so there is no frame).
SONG_BOX_X=60 SONG_BOX_Y=72        # the song combo box's text field
PART_LIST_X=200 PART_LIST_Y=150    # inside the part list, below its lines
NOTE_ROW=10                        # Square 1 row clicked: note byte 126 - 2 * row
CELL_X=96                          # column 2 (byte 1), right of the 40-wide first column
CELL_Y=$((42 + 1 + NOTE_ROW * 17 + 8))  # page top + border + rows of 16 + grid line
rm -rf "$out" && mkdir -p "$out"
work=$(mktemp -d /tmp/kestrin-e2e.XXXXXX)
display=""
editor_pid="" xvfb_pid=""

cleanup() {
  [[ -n $editor_pid ]] && kill "$editor_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

step=0
shot() {  # shot NAME: screenshot of the whole screen
  step=$((step + 1))
  DISPLAY=$display import -window root "$out/$(printf '%02d' $step)-$1.png" 2>/dev/null || true
}
fail() {
  echo "E2E FAIL: $*" >&2
  shot failure
  exit 1
}
key() { DISPLAY=$display xdotool key --clearmodifiers "$@"; sleep 0.4; }
click_at() {  # click_at X Y, relative to the window's top-left corner
  DISPLAY=$display xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.4
}
wait_for_title() {  # wait_for_title REGEX
  for _ in $(seq 1 100); do
    if DISPLAY=$display xdotool search --name "$1" >/dev/null 2>&1; then return 0; fi
    sleep 0.2
  done
  return 1
}
editor_windows() {  # how many of the editor's windows are on screen
  DISPLAY=$display xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null | wc -l
}
wait_for_windows() {  # wait_for_windows COUNT: until the editor shows COUNT windows
  for _ in $(seq 1 100); do
    [[ $(editor_windows) -eq $1 ]] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  return 1
}

"$demo_maker" "$work/demo.nes" >/dev/null
cp "$work/demo.nes" "$work/original.nes"

# Xvfb picks a free display itself and writes its number to fd 3. It must
# not reset when its last client leaves: whoever connects meanwhile is
# refused.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
display=":$(head -1 "$work/display")"

DISPLAY=$display QT_QPA_PLATFORM=xcb "$editor" >"$out/editor.log" 2>&1 &
editor_pid=$!
wait_for_title '^Kestrin Music Editor$' || fail "the window did not appear"
window=$(DISPLAY=$display xdotool search --name '^Kestrin Music Editor$' | head -1)
DISPLAY=$display xdotool windowactivate --sync "$window" 2>/dev/null || DISPLAY=$display xdotool windowfocus --sync "$window"
sleep 1
shot started

# File > Open, through the real file dialog: type the path, press Enter.
windows=$(editor_windows)
key alt+f
key o
wait_for_windows $((windows + 1)) || fail "the open dialog did not appear"
wait_for_title '^Open$' || fail "the open dialog did not appear"
sleep 0.5
shot open-dialog
DISPLAY=$display xdotool type --delay 20 "$work/demo.nes"
key Return
wait_for_title '^Backup$' || fail "the backup question did not appear"
sleep 0.3
shot backup-question
key Escape   # "No" to the backup question
wait_for_title "^Kestrin Music Editor - $work/demo.nes\$" || fail "the caption does not name the opened file"
[[ ! -e $work/demo_backup.nes ]] || fail "a backup was written although the answer was No"
shot opened

# Choose the first song: click into the song box, then Down selects item 0.
click_at "$SONG_BOX_X" "$SONG_BOX_Y"
key Down
shot song-chosen
# Select the first part: focus the part list, Down selects line 0.
click_at "$PART_LIST_X" "$PART_LIST_Y"
key Home
shot part-chosen

# Page "Square 1", then a click in note mode on column 2, row $NOTE_ROW.
key ctrl+Tab
sleep 0.5
shot square1
# A part just loaded opens at its first note; the wheel scrolls back to the
# top rows (scrolling edits nothing).
DISPLAY=$display xdotool mousemove --window "$window" "$CELL_X" "$CELL_Y" click --repeat 12 --delay 30 4
sleep 0.4
shot scrolled-to-top
click_at "$CELL_X" "$CELL_Y"
shot cell-clicked

# File > Save; keep what it wrote.
key alt+f
key s
sleep 1
shot saved
cp "$work/demo.nes" "$work/edited.nes"

# Ctrl+Z takes the click back; File > Save again, then close the window:
# the program ends with exit code 0.
key ctrl+z
shot undone
key alt+f
key s
sleep 1
shot saved-undone
key alt+f
key e
status=0
wait "$editor_pid" || status=$?
editor_pid=""
[[ $status -eq 0 ]] || fail "the editor ended with exit code $status"

# Song "01-" is set 1, index 1; part line 0; byte 1 of Square 1.
"$rom_check" "$work/original.nes" "$work/edited.nes" 1 1 0 1 "$((126 - 2 * NOTE_ROW))" | tee "$out/result.txt"
cmp "$work/original.nes" "$work/demo.nes" || fail "after Ctrl+Z and Save the file differs from the original"
echo "PASS: after Ctrl+Z and Save the file equals the original" | tee -a "$out/result.txt"

# The README's worked example on the file the window saved with the edit.
"$kestrin_rom" check "$work/edited.nes" || fail "kestrin-rom check found problems in the saved file"
"$kestrin_rom" diff "$work/original.nes" "$work/edited.nes" | tee "$out/diff.txt" || fail "kestrin-rom diff failed"
grep -q "^0x38011 .* Square 1 byte 1 of song 01, line 1 (entry 7, part 0): " "$out/diff.txt" || fail "diff did not name the clicked byte"
grep -qx "1 byte differs" "$out/diff.txt" || fail "diff did not count one changed byte"
"$kestrin_rom" ips "$work/original.nes" "$work/edited.nes" -o "$work/edit.ips"
"$kestrin_rom" apply "$work/original.nes" "$work/edit.ips" -o "$work/patched.nes"
cmp "$work/patched.nes" "$work/edited.nes" || fail "the patched original differs from the saved file"
