#!/bin/bash
# menu.sh - drives the menu program through a real terminal (a tmux pane of 80 x 24):
# the screen, hot keys, the full-screen pick list and Ctrl-D in it; and the program fed by a
# pipe, a closed input, in batch mode and with settings files.
. "$(dirname "$0")/lib.sh"
e2e_tool_suite menu "$@"
MENU=$TOOL EXAMPLE=$root/TextMenu/examples/queue-options.menu
command -v tmux >/dev/null || e2e_skip "tmux is not installed (tools/run-tests installs it)"
export KANDU_TOOL_PATH=$build/share/tvnn
E2E_SCRATCH=$(mktemp -d "$build/e2e-menu.XXXXXX")
cd "$E2E_SCRATCH" || exit 1

# Each run has a tmux server of its own, so that one still shutting down never meets
# the next. m_start ARGS: the menu program in a fresh 80 x 24 pane, its exit status
# into ./status.
RUNS=0
T() { tmux -S "$E2E_SCRATCH/tmux.$RUNS.sock" "$@"; }
trap 'T kill-server 2>/dev/null; rm -rf "$E2E_SCRATCH"' EXIT
m_start() {
  T kill-server 2>/dev/null
  RUNS=$((RUNS + 1))
  rm -f status values
  T new-session -d -s m -x 80 -y 24 "$(printf '%q ' "$MENU" "$@"); echo \$? > status; sleep 600"
  m_wait "Selection:"
}
# The pane as text, trailing blanks removed; m_wait TEXT waits up to 5 seconds for it.
m_screen() { T capture-pane -p -t m 2>/dev/null | sed 's/ *$//'; }
m_wait() {
  for _ in $(seq 50); do m_screen | grep -qF -- "$1" && return 0; sleep 0.1; done
  return 1
}
# m_line LINE [TEXT]: types the line and Enter, then waits for the text.
m_line() {
  T send-keys -t m -l -- "$1"
  T send-keys -t m Enter
  if [ -n "${2:-}" ]; then m_wait "$2"; else sleep 0.3; fi
}
# m_shows TEXT...: the pane shows each text.
m_shows() { m_screen >screen; e2e_assert_file_has screen "$@"; }
# m_ends STATUS: the program ends with that status within 5 seconds.
m_ends() {
  for _ in $(seq 50); do [ -s status ] && break; sleep 0.1; done
  e2e_assert_eq "exit status" "$(cat status 2>/dev/null)" "$1"
}

e2e_case "the screen, selections and hot keys"
m_start -o values "$EXAMPLE"
e2e_assert_eq "the centred title and the hint line" "$(m_screen | sed -n '3p;18,19p' | tr '\n' '|')" \
  "                              Print queue options|Enter = leave|Selection:|"
m_shows " 1) Paper size ............................... [3. A4]" \
  " 9) Scale .................................... [1.000]" "10) Colour options" " a) Apply" " q) Cancel"
m_line "1 4" "[4. A5]"
m_line "A"
m_ends 0
e2e_assert_file_has values "PAPER=A5"
m_start -o values "$EXAMPLE"
m_line "q"
m_ends 1
e2e_assert_eq "Cancel writes no values" "$(ls values 2>/dev/null)" ""

e2e_case "the full-screen pick list"
m_start -o values "$EXAMPLE"
m_line "6" "Numbers, Enter for the next page"
m_shows "                                   Finishing" " -> 1) None" \
  "$(printf 'Save%36sCancel' '')"
m_line "1, 3 5" "Current selection: Punch, Booklet"
m_shows " -> 3) Punch" "    1) None"
m_line "s" "Selection:"
m_shows " 6) Finishing ................................ [3,5]"
m_line "6" "Numbers, Enter for the next page"
T send-keys -t m C-d
m_ends 1
e2e_assert_eq "Ctrl-D in the pick list ends the program; nothing is written" "$(ls values 2>/dev/null)" ""

e2e_case "fed by a pipe, a closed input, batch mode and settings files"
# Without a terminal the menu goes to standard error and standard output holds the values
# alone; the finishing entry's "None" state is not a value.
out=$(printf '3 4\n1 1\n\ny\n' | "$MENU" "$EXAMPLE" 2>/dev/null)
e2e_assert_eq "a piped dialogue applies; only the values on standard output" "$?:$(head -7 <<<"$out" |
  tr '\n' ' ')" "0:PAPER=Letter TRAY=Automatic COPIES=4 DUPLEX=Off BINDING=None FINISH= TITLE=Report "
printf '3 4\n' | "$MENU" "$EXAMPLE" >/dev/null 2>&1
e2e_assert_eq "the end of piped input: status 1" "$?" 1
timeout 20 "$MENU" "$EXAMPLE" <&- >/dev/null 2>&1
e2e_assert_eq "a closed standard input: status 1" "$?" 1
printf '1 2\n10\n1 2\n\ny\n7 Monthly\n\ny\n' | "$MENU" -s queue.set "$EXAMPLE" >/dev/null 2>&1
e2e_assert_file_has queue.set $'1[1] 9 0\n2[0] 9 0\n' $'5[0] 9 2\n7[Monthly] 11 0\n' $'10{\n0[1] 9 0\n1[600] 13 0\n}'
e2e_assert_eq "batch mode prints the loaded settings" "$("$MENU" -b -s queue.set "$EXAMPLE" | sed -n '1p;7p;10p' |
  tr '\n' ' ')" "PAPER=Legal TITLE=Monthly COLOUR=Grey "
printf 'choice X\n  states a,b\n  default c\n' >bad.menu
err=$("$MENU" bad.menu 2>&1 </dev/null)
e2e_assert_eq "a faulty description: status 2 and its line" "$?:${err%%:*}:$(cut -d: -f2 <<<"$err")" "2:bad.menu:3"
e2e_finish
