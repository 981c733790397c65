#!/usr/bin/env bash
# End-to-end run of crash reporting in a real X server (Xvfb + xdotool).
#
# usage: run_crash_e2e.sh demo CRASH_DEMO DEMO_ROM_MAKER OUTPUT_FOLDER
#        run_crash_e2e.sh package DEB DBGSYM_DEB OUTPUT_FOLDER
#
# demo: the editor built with a way to fail (kestrin-crash-demo), from the
# build folder:
#  1. an exception thrown in an event handler shows the real box; the report
#     names the throwing function; "Continue" (Enter) keeps the window working;
#  2. File > Open of a demo ROM, then kill -SEGV to the running editor: the
#     reporter shows the box with "Continue" disabled, the report names the
#     editor's functions and the open file, "Close" (Enter) lets the editor
#     end by SIGSEGV;
#  3. a null dereference in a handler: the same, with the faulting address;
#     "Restart" starts the editor again, in a process of its own.
#
# package: the programs as a user installs them, extracted with dpkg-deb -x:
#  4. the .deb alone (stripped programs): kill -SEGV gives a box and a report
#     whose frames of the editor carry no name at all, only module+offset and
#     the editor's build-id; given to addr2line with the debug file of that
#     build-id, as the README tells a maintainer, those offsets name main and
#     kestrin::RunEditor;
#  5. the .deb with its -dbgsym package extracted beside it (the debug files
#     under usr/lib/debug, as installing both puts them): the same report
#     names main and kestrin::RunEditor itself.
#
# Every wait is for a condition, with a generous limit: the machine may be
# busy with other tests.
set -euo pipefail

mode=$1
shift
case $mode in
  demo) demo=$1 demo_maker=$2 out=$3 ;;
  package) deb=$1 dbgsym=$2 out=$3 ;;
  *) echo "usage: $0 demo CRASH_DEMO DEMO_ROM_MAKER OUT | package DEB DBGSYM_DEB OUT" >&2; exit 2 ;;
esac
rm -rf "$out" && mkdir -p "$out"
work=$(mktemp -d /tmp/kestrin-crash-e2e.XXXXXX)
report=$work/state/kestrin-music-editor/bugreport.txt
display="" demo_pid="" xvfb_pid=""

cleanup() {
  if [[ -n $demo_pid ]]; then
    # The reporter, if one is showing its box, is the demo's child.
    for child in $(pgrep -P "$demo_pid" 2>/dev/null); do kill -KILL "$child" 2>/dev/null || true; done
    kill -KILL "$demo_pid" 2>/dev/null || true
  fi
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

shot() {  # shot NAME: the whole screen
  DISPLAY=$display import -window root "$out/$1.png" 2>/dev/null || true
}
fail() {
  echo "CRASH E2E FAIL: $*" >&2
  shot failure
  [[ -f $report ]] && cp "$report" "$out/bugreport.txt"
  exit 1
}
boxes() {  # how many windows titled like the program (or its window with a file) are on screen
  DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin Music Editor( - .*)?$' 2>/dev/null | wc -l
}
wait_until() {  # wait_until SECONDS COMMAND...: until COMMAND succeeds
  local tries=$(($1 * 10)); shift
  for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
boxes_are() { [[ $(boxes) -eq $1 ]]; }
titled() { DISPLAY=$display xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
demo_windows_are() {  # the demo's own windows on screen, titled or not (menus)
  [[ $(DISPLAY=$display xdotool search --onlyvisible --pid "$demo_pid" 2>/dev/null | wc -l) -eq $1 ]]
}
reports_are() { [[ -f $report ]] && [[ $(grep -c '^Kestrin Music Editor crash report$' "$report") -eq $1 ]]; }
# Reports of fatal signals the reporter completed: it names the frames
# ("== Stack trace ==", which an exception's report has not) before it starts
# Qt, whose platform plugin line comes last, just before the box.
completed_reports_are() {
  [[ -f $report ]] && [[ $(awk '/^Kestrin Music Editor crash report$/ { trace = 0 }
    /^== Stack trace ==$/ { trace = 1 } /^Platform plugin: / && trace { n++ } END { print n + 0 }' "$report") -eq $1 ]]
}
last_report() { awk '/^Kestrin Music Editor crash report$/ { text = "" } { text = text $0 "\n" } END { printf "%s", text }' "$report"; }
last_trace() { last_report | awk '/^== / { on = ($0 == "== Stack trace ==") ; next } on'; }
expect_in_report() {  # expect_in_report TEXT...: each a fixed line part of the last report
  local text
  text=$(last_report)
  for expected in "$@"; do
    grep -qF -- "$expected" <<<"$text" || fail "the report lacks: $expected"
  done
}
start_demo() {  # start_demo PROGRAM [MODE]
  DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_STATE_HOME=$work/state "$@" >>"$out/demo.log" 2>&1 &
  demo_pid=$!
}
wait_for_demo() {  # waits for the demo to end; its exit status goes to $status
  status=0
  wait "$demo_pid" || status=$?
  demo_pid=""
}
has_debug_info() { readelf -S "$1" 2>/dev/null | grep -qF '.debug_info'; }
build_id() { readelf -n "$1" | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p'; }

# Kills the running program with SIGSEGV, waits for the reporter's completed
# report and box, checks it with the common texts, closes the box and
# expects the program to end by SIGSEGV. $1: the reports there will be.
crash_by_signal() {
  kill -SEGV "$demo_pid"
  wait_until 120 completed_reports_are "$1" || fail "the reporter did not complete the report"
  wait_until 60 boxes_are 2 || fail "the reporter's box did not appear"
  expect_in_report "Signal: SIGSEGV (11)" "Code: SI_USER (0)" "== Registers ==" "rip: 0x" \
    "== Stack frames (raw) ==" "== Stack trace ==" "QCoreApplication::exec()" "== Threads ==" "== System ==" \
    " (build-id "
  [[ $(stat -c %a "$report") == 600 && $(stat -c %a "$(dirname "$report")") == 700 ]] ||
    fail "the report is readable by others"
}
close_and_expect_sigsegv() {  # $1: the key that answers the box (default Return, "Close")
  DISPLAY=$display xdotool key ${1:-Return}
  wait_for_demo
  [[ $status -eq $((128 + 11)) ]] || fail "after the signal the editor ended with $status, not by SIGSEGV"
}

# -noreset: by default the server resets when its last client leaves, and
# refuses whoever connects meanwhile; here a crashed program leaves just as
# the next one (the restarted editor, a poll of xdotool) connects.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_until 30 test -s "$work/display" || fail "Xvfb did not start"
display=":$(head -1 "$work/display")"

if [[ $mode == demo ]]; then
  # 1. An exception in a handler, with a file open.
  "$demo_maker" "$work/demo.nes" >/dev/null
  start_demo "$demo" throw "$work/demo.nes"
  wait_until 120 reports_are 1 || fail "no report after the exception"
  wait_until 60 boxes_are 2 || fail "the box did not appear"
  shot exception-box
  box=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin Music Editor$' | tail -1)
  DISPLAY=$display import -window "$box" "$out/crash-box.png" 2>/dev/null || true
  expect_in_report "Exception: std::runtime_error" "Message: the demo handler gave up" \
    "#0 (anonymous namespace)::ThrowFromAHandler() " "Platform plugin: xcb" "File opened: $work/demo.nes" \
    "== Screenshot =="
  DISPLAY=$display xdotool key Return   # Continue
  wait_until 60 boxes_are 1 || fail "Continue did not close the box"
  # The window still works: its File menu opens. (No window manager runs, so
  # the focus has to be given back by hand.)
  window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin Music Editor$' | head -1)
  DISPLAY=$display xdotool windowfocus --sync "$window"
  windows=$(DISPLAY=$display xdotool search --onlyvisible --pid "$demo_pid" | wc -l)
  DISPLAY=$display xdotool key alt+f
  wait_until 60 demo_windows_are $((windows + 1)) || fail "the window no longer answers after Continue"
  shot continued
  DISPLAY=$display xdotool key Escape
  wait_until 60 demo_windows_are "$windows" || fail "the menu did not close"

  # 2. A file opened through the real dialog, then kill -SEGV to the running
  # editor: the report's editor state is what the window published after its
  # last event.
  DISPLAY=$display xdotool key alt+f o
  wait_until 60 titled '^Open$' || fail "the open dialog did not appear"
  sleep 0.5
  DISPLAY=$display xdotool type --delay 20 "$work/demo.nes"
  DISPLAY=$display xdotool key Return
  wait_until 60 titled '^Backup$' || fail "the backup question did not appear"
  sleep 0.3
  DISPLAY=$display xdotool key Escape   # "No" to the backup question
  wait_until 60 titled "^Kestrin Music Editor - $work/demo.nes\$" || fail "the file did not open"
  sleep 0.5
  crash_by_signal 1
  shot signal-box
  expect_in_report "kestrin::RunEditor(" "File opened: $work/demo.nes"
  close_and_expect_sigsegv

  # 3. A null dereference in a handler.
  start_demo "$demo" fault
  wait_until 120 completed_reports_are 2 || fail "no completed report after the fault"
  wait_until 60 boxes_are 2 || fail "the reporter's box did not appear after the fault"
  shot fault-box
  expect_in_report "Code: SEGV_MAPERR (1)" "Fault address: 0x0" \
    "#0 (anonymous namespace)::FaultInAHandler(int volatile*)"
  if has_debug_info "$demo"; then expect_in_report "crash_demo.cpp:"; fi
  close_and_expect_sigsegv "shift+Tab space"   # "Restart", just before "Close", which has the focus
  wait_until 60 boxes_are 1 || fail "Restart started no editor"
  restarted=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin Music Editor$' getwindowpid)
  kill "$restarted"
  wait_until 60 boxes_are 0 || fail "the restarted editor did not end"

  reports=$(grep -c '^Kestrin Music Editor crash report$' "$report" || true)
  [[ $reports -eq 3 ]] || fail "not one report per failure: $reports reports for 3 failures"
  cp "$report" "$out/bugreport.txt"
  echo "crash reporting end to end: 3 failures, 3 reports, every box answered"
  exit 0
fi

# 4. The .deb alone.
plain=$work/plain
dpkg-deb -x "$deb" "$plain"
editor=$plain/usr/bin/kestrin-music-editor
id=$(build_id "$editor")
[[ -n $id ]] || fail "the packaged editor has no build-id"
! has_debug_info "$editor" || fail "the packaged editor is not stripped"
start_demo "$editor"
wait_until 120 boxes_are 1 || fail "the packaged editor's window did not appear"
crash_by_signal 1
shot package-box
trace=$(last_trace)
printf '%s\n' "$trace" >"$out/trace-without-debug-package.txt"
ours=$(grep -F "$editor" <<<"$trace" || true)
[[ -n $ours ]] || fail "no frame of the editor in the trace"
while IFS= read -r line; do
  [[ $line =~ ^#[0-9]+\ ${editor//+/\\+}\+0x[0-9a-f]+\ \(build-id\ $id\)$ ]] ||
    fail "a frame of the stripped editor is not module+offset with its build-id: $line"
done <<<"$ours"
! grep -qF '__cxa_throw' <<<"$trace" || fail "a frame is named after the nearest exported symbol"
close_and_expect_sigsegv

# A maintainer names those frames later from the matching debug package.
debug=$work/debug
dpkg-deb -x "$deb" "$debug"
dpkg-deb -x "$dbgsym" "$debug"
debug_file=$debug/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
[[ -f $debug_file ]] || fail "the -dbgsym package has no debug file for build-id $id"
offsets=$(sed -n 's/.*+\(0x[0-9a-f]*\) (build-id.*/\1/p' <<<"$ours")
# shellcheck disable=SC2086
named_later=$(addr2line -C -f -e "$debug_file" $offsets)
printf '%s\n' "$named_later" >"$out/named-later.txt"
grep -qx 'main' <<<"$named_later" || fail "the offsets do not name main: $named_later"
grep -q '^kestrin::RunEditor(' <<<"$named_later" || fail "the offsets do not name kestrin::RunEditor: $named_later"

# 5. The .deb with its -dbgsym package.
rm -f "$report"
start_demo "$debug/usr/bin/kestrin-music-editor"
wait_until 120 boxes_are 1 || fail "the packaged editor's window did not appear"
crash_by_signal 1
shot package-debug-box
trace=$(last_trace)
printf '%s\n' "$trace" >"$out/trace-with-debug-package.txt"
grep -qE '^#[0-9]+ main (at|in) ' <<<"$trace" || fail "the trace does not name main"
grep -qE '^#[0-9]+ kestrin::RunEditor\(' <<<"$trace" || fail "the trace does not name kestrin::RunEditor"
if has_debug_info "$debug_file"; then
  grep -qE '^#[0-9]+ main at .*main\.cpp:[0-9]+$' <<<"$trace" || fail "main has no file:line"
fi
close_and_expect_sigsegv
cp "$report" "$out/bugreport.txt"
echo "packaged crash reporting end to end: without the debug package no name but module+offset and" \
  "build-id, named later from it; with it, main and kestrin::RunEditor named"
