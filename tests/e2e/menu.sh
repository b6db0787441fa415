#!/bin/bash
# menu.sh - drives the menu program through a real terminal (a tmux pane of 80 x 24):
# selections by number and hot key, values refused by their patterns, entries
# hidden and shown by rules, the full-screen pick list, settings saved and loaded,
# the end of input; and the program fed by a pipe and in batch mode.
. "$(dirname "$0")/lib.sh"
e2e_init --no-sandbox "$1"

MENU=$E2E_BUILD/bin/menu
EXAMPLE=$E2E_ROOT/TextMenu/examples/queue-options.menu
[ -x "$MENU" ] || { echo "FAIL: no menu program at $MENU: build the menu target first" >&2; exit 1; }
command -v tmux >/dev/null || e2e_skip "tmux is not installed (tools/run-tests installs it)"
export KANDU_TOOL_PATH=$E2E_BUILD/share/tvnn

# Each run gets a tmux server of its own, so that a server still shutting down never
# meets the next one.
RUNS=0
SOCK=$E2E_SCRATCH/tmux.0.sock
T() { tmux -S "$SOCK" "$@"; }
trap 'T kill-server 2>/dev/null' EXIT

# Starts the menu program in a fresh 80 x 24 pane with the given arguments; its exit
# status goes to $E2E_SCRATCH/status.
m_start() {
  T kill-server 2>/dev/null
  RUNS=$((RUNS + 1))
  SOCK=$E2E_SCRATCH/tmux.$RUNS.sock
  rm -f "$E2E_SCRATCH/status"
  local args
  args=$(printf ' %q' "$@")
  T new-session -d -s m -x 80 -y 24 \
    "cd $(printf %q "$E2E_SCRATCH") && $(printf %q "$MENU")$args; echo \$? > status; sleep 600"
  m_wait "Selection:"
}

# The pane as text, trailing blanks removed.
m_screen() { T capture-pane -p -t m 2>/dev/null | sed 's/ *$//'; }

# Waits until the pane shows the text (fixed string); false after 5 seconds.
m_wait() {
  local i
  for i in $(seq 50); do
    m_screen | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Types a line (the text, then Enter) and waits until the pane shows the text given
# as the second argument.
m_line() {
  T send-keys -t m -l -- "$1"
  T send-keys -t m Enter
  [ -z "${2:-}" ] && { sleep 0.3; return 0; }
  m_wait "$2"
}

# Waits for the program to end; prints its exit status.
m_status() {
  local i
  for i in $(seq 50); do
    [ -s "$E2E_SCRATCH/status" ] && { cat "$E2E_SCRATCH/status"; return 0; }
    sleep 0.1
  done
  echo "running"
}

# m_shows DESCRIPTION LINE TEXT: types the line, waits for the text and checks it is shown.
m_shows() { m_line "$2" "$3"; check "$1" shows "$3"; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then e2e_pass "$what"; else e2e_fail "$what"; m_screen | sed 's/^/    | /'; fi
}
shows() { m_screen | grep -qF -- "$1"; }
lacks() { ! m_screen | grep -qF -- "$1"; }
file_is() { [ "$(cat "$1" 2>/dev/null)" = "$2" ]; }

DEFAULTS='PAPER=A4
TRAY=Automatic
COPIES=1
DUPLEX=Off
BINDING=None
FINISH=None
TITLE=Report
USER=
SCALE=1.000
COLOUR=Colour
RESOLUTION=600'

e2e_case "the first screen"
m_start -o values "$EXAMPLE"
expected='

                              Print queue options

Options of the print queue; Enter leaves.
 1) Paper size ............................... [3. A4]
 2) Paper tray ............................... [1. Automatic]
 3) Copies ................................... [1]
 4) Two-sided printing ....................... [1. Off]
 6) Finishing ................................ [none]
 7) Banner title ............................. [Report]
 8) Job owner ................................ []
 9) Scale .................................... [1.000]
10) Colour options
 a) Apply
 q) Cancel

Enter = leave
Selection:'
check "the menu is drawn from the top of the screen" [ "$(m_screen | sed -n 1,19p)" = "$expected" ]

e2e_case "selection by number and by hot key"
m_shows "1 4 chooses the fourth paper size" "1 4" " 1) Paper size ............................... [4. A5]"
m_shows "2 alone moves the tray to the next state" "2" "[2. Tray 1]"
m_line "2" "[3. Tray 2]"
m_shows "a state written with a leading '_' is shown without it" "2" " 2) Paper tray ............................... [4. Manual feed]"
m_line "2" "[1. Automatic]"
m_line " 3" ""
check "a line that does not begin with the number selects nothing" lacks "Number of copies"
m_line "A" ""
check "the hot key A (upper case) applies" [ "$(m_status)" = 0 ]
check "the values of the applied menu are written" file_is "$E2E_SCRATCH/values" "${DEFAULTS/PAPER=A4/PAPER=A5}"

e2e_case "the hot key of Cancel leaves without applying"
rm -f "$E2E_SCRATCH/values"
m_start -o values "$EXAMPLE"
m_line "1 1" "[1. Letter]"
m_line "q" ""
check "Cancel ends with status 1" [ "$(m_status)" = 1 ]
check "no values are written" [ ! -e "$E2E_SCRATCH/values" ]

e2e_case "values refused by their patterns"
m_start -o values "$EXAMPLE"
m_line "3" "Number of copies (1 to 99):"
m_line "150" "The value must be a whole number from 1 to 99."
check "the reason waits for Enter" shows "Press Enter to continue..."
m_line "" "Selection:"
check "the refused value leaves copies at 1" shows " 3) Copies ................................... [1]"
m_shows "an accepted value is shown" "3 12" " 3) Copies ................................... [12]"
m_shows "a blank is refused in the owner" "8 bad name" "The character ' ' is not allowed here."
m_line "" "Selection:"
m_line "8 ann_b-1" "[ann_b-1]"
m_shows "a scale above 4 is refused" "9 9" "This number must be between 0.100000 to 4.000000."
m_line "" "Selection:"
m_shows "scale 0.5 is taken" "9 0.5" " 9) Scale .................................... [0.500]"
m_line "7" "Title on the banner page:"
m_line "" "Selection:"
check "an empty answer keeps the banner title" shows "[Report]"
m_line "a" ""
check "apply ends with status 0" [ "$(m_status)" = 0 ]
check "the values carry the accepted entries" file_is "$E2E_SCRATCH/values" "$(printf '%s\n' "$DEFAULTS" |
  sed 's/^COPIES=.*/COPIES=12/; s/^USER=.*/USER=ann_b-1/; s/^SCALE=.*/SCALE=0.500/')"

e2e_case "entries hidden and shown by rules"
m_start -o values "$EXAMPLE"
check "the binding margin is hidden while printing is one-sided" lacks "Binding margin"
m_shows "two-sided printing shows the binding margin" "4 2" " 5) Binding margin ........................... [1. None]"
m_line "5 3" "[3. Top]"
m_line "4 1" "[1. Off]"
check "one-sided printing hides it again" lacks "Binding margin"
m_line "5" ""
check "a hidden entry cannot be selected by its number" lacks "[2. Left]"
m_line "q" ""
m_status >/dev/null

e2e_case "the full-screen pick list"
m_start -o values "$EXAMPLE"
m_line "6" "Numbers, Enter for the next page"
check "the list shows its label centred" shows "                                   Finishing"
check "the current state is marked" shows " -> 1) None"
check "the save and cancel labels" shows "$(printf 'Save%36sCancel' '')"
m_line "1, 3 5" "Current selection: Punch, Booklet"
check "several numbers toggle at once" shows " -> 3) Punch"
check "a state that was chosen is no longer marked" shows "    1) None"
m_line "9" ""
check "a number outside the list changes nothing" shows "Current selection: Punch, Booklet"
m_line "s" "Selection:"
check "save returns to the menu with the chosen states" shows " 6) Finishing ................................ [3,5]"
m_line "6" "Numbers, Enter for the next page"
m_line "2" "Current selection: Staple, Punch, Booklet"
m_line "c" "Selection:"
check "cancel restores the states" shows "[3,5]"
m_line "a" ""
check "the chosen states are handed on by name" file_is "$E2E_SCRATCH/values" "${DEFAULTS/FINISH=None/FINISH=Punch,Booklet}"

e2e_case "settings saved and loaded again"
rm -f "$E2E_SCRATCH/queue.set"
m_start -s queue.set -o values "$EXAMPLE"
m_line "1 2" "[2. Legal]"
m_line "4 3" "[3. Short edge]"
m_line "7 Monthly" "[Monthly]"
m_line "10" "Colour options"
m_line "1 2" "[2. Grey]"
m_line "" "Return to Print queue options? [y/n]"
m_line "y" " 1) Paper size"
m_line "" "Save these options? [y/n]"
m_line "y" ""
check "saving ends with status 0" [ "$(m_status)" = 0 ]
check "the settings file holds the engine's lines" file_is "$E2E_SCRATCH/queue.set" '1[1] 9 0
2[0] 9 0
3[1] 13 0
4[2] 9 0
5[0] 9 0
7[Monthly] 11 0
8[] 12 0
9[1.000] 14 0
10{
0[1] 9 0
1[600] 13 0
}'
m_start -s queue.set -o values "$EXAMPLE"
check "a new run shows the saved paper size" shows " 1) Paper size ............................... [2. Legal]"
check "and the binding margin that the saved duplex shows" shows " 5) Binding margin"
m_line "10" "Colour mode"
check "and the saved submenu value" shows "[2. Grey]"
m_line "" "Return to"
m_line "y" "Selection:"
m_line "" "Leave queue-options? [y/n]"
check "a leave without changes skips the save question" lacks "Save these options?"
m_line "y" ""
check "a leave without changes applies nothing: status 1" [ "$(m_status)" = 1 ]

e2e_case "end of input"
m_start -o values "$EXAMPLE"
rm -f "$E2E_SCRATCH/values"
m_line "1 1" "[1. Letter]"
T send-keys -t m C-d
check "Ctrl-D at the selection leaves with status 1" [ "$(m_status)" = 1 ]
check "and applies nothing" [ ! -e "$E2E_SCRATCH/values" ]
m_start -o values "$EXAMPLE"
m_line "6" "Numbers, Enter for the next page"
T send-keys -t m C-d
check "Ctrl-D in the pick list ends the program too" [ "$(m_status)" = 1 ]

e2e_case "fed by a pipe and in batch mode"
out=$(printf '3 4\n1 1\n\ny\n' | "$MENU" "$EXAMPLE" 2>&1)
status=$?
check "a piped dialogue applies with status 0" [ $status = 0 ]
check "the values follow the menu on standard output" [ "$(printf '%s\n' "$out" | sed -n '/^PAPER=/,$p')" = "$(printf '%s\n' "$DEFAULTS" | sed 's/^PAPER=.*/PAPER=Letter/; s/^COPIES=.*/COPIES=4/')" ]
printf '3 4\n' | "$MENU" "$EXAMPLE" >/dev/null 2>&1
check "the end of piped input gives status 1" [ $? = 1 ]
timeout 20 "$MENU" "$EXAMPLE" <&- >/dev/null 2>&1
check "a closed standard input gives status 1" [ $? = 1 ]
out=$("$MENU" -b -s "$E2E_SCRATCH/queue.set" "$EXAMPLE")
check "batch mode prints the loaded settings" [ "$(printf '%s\n' "$out" | head -1)" = "PAPER=Legal" ]
printf 'choice X\n  states a,b\n  default c\n' > "$E2E_SCRATCH/bad.menu"
err=$("$MENU" "$E2E_SCRATCH/bad.menu" 2>&1 </dev/null)
check "a faulty description ends with status 2 and its line" [ $? = 2 ] 
check "the fault names the file and line" [ "$err" = "$E2E_SCRATCH/bad.menu:3: the default \"c\" is no state of X" ]

e2e_finish
