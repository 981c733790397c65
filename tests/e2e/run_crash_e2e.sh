#!/usr/bin/env bash
# End-to-end run of crash reporting in a real X server, with the editor built
# with a way to fail (kestrin-crash-demo):
#  1. an exception thrown in an event handler shows the real box; the report
#     names the throwing function; "Continue" (Enter) keeps the window working;
#  2. kill -SEGV to the running editor: the reporter shows the box with
#     "Continue" disabled, the report names the editor's functions, "Close"
#     (Enter) lets the editor end by SIGSEGV;
#  3. a null dereference in a handler: the same, with the faulting address.
#
# usage: run_crash_e2e.sh CRASH_DEMO OUTPUT_FOLDER
set -euo pipefail

demo=$1 out=$2
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
boxes() {  # how many windows titled like the program are on screen
  DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin Music Editor$' 2>/dev/null | wc -l
}
wait_until() {  # wait_until SECONDS COMMAND...: until COMMAND succeeds
  local tries=$(($1 * 10)); shift
  for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
boxes_are() { [[ $(boxes) -eq $1 ]]; }
demo_windows_are() {  # the demo's own windows on screen, titled or not (menus)
  [[ $(DISPLAY=$display xdotool search --onlyvisible --pid "$demo_pid" 2>/dev/null | wc -l) -eq $1 ]]
}
reports_are() { [[ -f $report ]] && [[ $(grep -c '^Kestrin Music Editor crash report$' "$report") -eq $1 ]]; }
completed_reports_are() { [[ -f $report ]] && [[ $(grep -c '^== System ==$' "$report") -eq $1 ]]; }
last_report() { awk '/^Kestrin Music Editor crash report$/ { text = "" } { text = text $0 "\n" } END { printf "%s", text }' "$report"; }
expect_in_report() {  # expect_in_report TEXT...: each a fixed line part of the last report
  local text
  text=$(last_report)
  for expected in "$@"; do
    grep -qF -- "$expected" <<<"$text" || fail "the report lacks: $expected"
  done
}
start_demo() {  # start_demo MODE
  DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_STATE_HOME=$work/state "$demo" "$@" >>"$out/demo.log" 2>&1 &
  demo_pid=$!
}
wait_for_demo() {  # waits for the demo to end; its exit status goes to $status
  status=0
  wait "$demo_pid" || status=$?
  demo_pid=""
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_until 10 test -s "$work/display" || fail "Xvfb did not start"
display=":$(head -1 "$work/display")"

# 1. An exception in a handler.
start_demo throw
wait_until 20 reports_are 1 || fail "no report after the exception"
wait_until 10 boxes_are 2 || fail "the box did not appear"
sleep 0.5
shot exception-box
box=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin Music Editor$' | tail -1)
DISPLAY=$display import -window "$box" "$out/crash-box.png" 2>/dev/null || true
expect_in_report "Exception: std::runtime_error" "Message: the demo handler gave up" \
  "#0 (anonymous namespace)::ThrowFromAHandler() at " "Platform plugin: xcb" "== Screenshot =="
DISPLAY=$display xdotool key Return   # Continue
wait_until 10 boxes_are 1 || fail "Continue did not close the box"
# The window still works: its File menu opens. (No window manager runs, so
# the focus has to be given back by hand.)
window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kestrin Music Editor$' | head -1)
DISPLAY=$display xdotool windowfocus --sync "$window"
windows=$(DISPLAY=$display xdotool search --onlyvisible --pid "$demo_pid" | wc -l)
DISPLAY=$display xdotool key alt+f
wait_until 10 demo_windows_are $((windows + 1)) || fail "the window no longer answers after Continue"
shot continued
DISPLAY=$display xdotool key Escape
wait_until 10 demo_windows_are "$windows" || fail "the menu did not close"

# 2. kill -SEGV to the running editor.
kill -SEGV "$demo_pid"
wait_until 30 completed_reports_are 1 || fail "the reporter did not complete the report"
wait_until 10 boxes_are 2 || fail "the reporter's box did not appear"
sleep 0.5
shot signal-box
expect_in_report "Signal: SIGSEGV (11)" "Code: SI_USER (0)" "== Registers ==" "rip: 0x" \
  "== Stack frames (raw) ==" "== Stack trace ==" "QCoreApplication::exec()" "kestrin::RunEditor(" \
  "== Threads ==" "== Processes ==" "== System =="
DISPLAY=$display xdotool key Return   # Close
wait_for_demo
[[ $status -eq $((128 + 11)) ]] || fail "after the signal the editor ended with $status, not by SIGSEGV"

# 3. A null dereference in a handler.
start_demo fault
wait_until 30 completed_reports_are 2 || fail "no completed report after the fault"
wait_until 10 boxes_are 2 || fail "the reporter's box did not appear after the fault"
shot fault-box
expect_in_report "Code: SEGV_MAPERR (1)" "Fault address: 0x0" \
  "#0 (anonymous namespace)::FaultInAHandler(int volatile*)" "crash_demo.cpp:"
DISPLAY=$display xdotool key Return   # Close
wait_for_demo
[[ $status -eq $((128 + 11)) ]] || fail "after the fault the editor ended with $status, not by SIGSEGV"

[[ $(grep -c '^Kestrin Music Editor crash report$' "$report") -eq 3 ]] || fail "not one report per failure"
cp "$report" "$out/bugreport.txt"
echo "crash reporting end to end: 3 failures, 3 reports, every box answered"
