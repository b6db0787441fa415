#!/bin/bash
# setup_operator.sh - the installer's questions in whole runs: the running-programs menu
# before the installation and at the package list's checkps line, not root, and the
# continue question when the product directory holds TavloD or TavloDStop; every
# answer, unknown answers and the end of input.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

MENU="Enter a selection:  "
QUESTION="Do You want to continue with the installation? [yn] "
# A process named $1 (a copy of sleep) that runs for a minute.
running() { echo "cp /bin/sleep /opt/$1 && (/opt/$1 60 </dev/null >/dev/null 2>&1 &)"; }

# ask NAME INPUT TEXT COUNT INSTALLED [run options]: a run with INPUT ("-": none) shows
# TEXT COUNT times and installs qmf (1) or not (0).
ask() {
  local input=()
  [ "$2" = - ] || input=(--stdin "$2")
  e2e_case "$1"
  e2e_run_setup --status 0 "${input[@]}" "${@:6}" --
  e2e_assert_eq "'$3' shown; qmf installed" \
    "$(grep -oF -- "$3" "$E2E_STDOUT" | wc -l) $(grep -c 'chmod  4755 /usr/Kandu/tvnn/qmf' "${E2E_LOG:-/dev/null}")" "$4 $5"
}
ask "running programs: choice 2 quits before anything is touched" 2 "$MENU" 1 0 --prepare "$FIRST_USR" \
  --prepare "$(running tvqadmin)"
e2e_assert_said $'until these terminate:\ntvqadmin ( ' "2.  Quit the installation"
e2e_assert_nothing_changed
ask "running programs: another answer shows the menu again" $'3\n2' "$MENU" 2 0 --prepare "$FIRST_USR" \
  --prepare "$(running tvqadmin)"
e2e_assert_nothing_changed
ask "running programs: the end of input quits" - "$MENU" 1 0 --prepare "$FIRST_USR" --prepare "$(running tvqadmin)"
e2e_assert_log_has "end of input at the running-programs menu"
e2e_assert_nothing_changed
# The program ends 7 seconds after setup started (past the first check, 5 seconds after
# the choice); the unpacking (a fake tar noting its start) must come after its end.
ask "running programs: choice 1 waits until they have ended" $'1\ny' "$MENU" 1 1 --prepare "$FIRST_USR" \
  --prepare "printf '#!/bin/sh\\nwhile ! pgrep -x setup >/dev/null; do sleep 0.2; done\\nsleep 7\\necho ended >>/tmp/order\\n' >/opt/tvqadmin && chmod 755 /opt/tvqadmin && (/opt/tvqadmin </dev/null >/dev/null 2>&1 &)" \
  --tool "$(e2e_fake_tool tar 'echo tar >>/tmp/order; exec /usr/bin/tar "$@"')"
e2e_assert_eq "the unpacking after the program ended" "$(cat "$E2E_STATE/tmp/order")" $'ended\ntar'
ask "the package list's check: quitting stops the list and the installation" 2 "$MENU" 1 0 --prepare "$(running TavloD)"
e2e_assert_said "TavloD ( "
e2e_assert_log_lacks 'cp -p /tmp/KanduInstall/pkg/tvrtvnntty' 'chmod  4755'
e2e_assert_unchanged /tmp/KanduInstall
e2e_assert_eq "tvqadmin's starts" "$(e2e_standin_count tvqadmin)" 0
ask "the package list's check: the end of input quits" - "$MENU" 1 0 --prepare "$(running TavloD)"
e2e_assert_log_has "end of input at the running-programs menu"

e2e_case "not root: the run ends after cleaning up"
e2e_run_setup --status 0 --tool "$(e2e_fake_tool whoami 'echo operator')" --
e2e_assert_said $'operator is logged in\nYou must become root to run setup\n'
e2e_assert_log_has 'rm -rf  /tmp/KanduInstall'
e2e_assert_unchanged /usr/Kandu /tmp/KanduInstall

RC='mkdir -p /etc/rc2.d && touch /etc/rc2.d/KKanduPrintD /etc/rc2.d/SKanduPrintD /etc/rc2.d/S99other'
ask "TavloD present, answer y" y "$QUESTION" 1 1 --prepare "$FIRST_USR" --prepare "$RC"
e2e_assert_said "NOTE: TavloD is located in <install directory>/Kandu/tvnn"
e2e_assert_unchanged /etc/rc2.d/KKanduPrintD /etc/rc2.d/SKanduPrintD
ask "TavloD present, unknown answers ask again; yes" $'Y\nYes\noui\n\n   \nyes' "$QUESTION" 6 1 --prepare "$FIRST_USR"
ask "TavloD present, answer n: the run ends as after no, the old daemon's rc2.d scripts stay" n "$QUESTION" 1 0 \
  --prepare "$FIRST_USR" --prepare "$RC"
e2e_assert_unchanged /etc/rc2.d/KKanduPrintD /etc/rc2.d/SKanduPrintD /etc/rc2.d/S99other
ask "TavloD present, answer no: the run ends, the work area stays" no "$QUESTION" 1 0 --prepare "$FIRST_USR"
e2e_check "the work area stays" test -d "$E2E_STATE/tmp/KanduInstall"
e2e_assert_eq "tvqadmin's starts" "$(e2e_standin_count tvqadmin)" 0
ask "TavloD present, the end of input ends the run as no" - "$QUESTION" 1 0 --prepare "$FIRST_USR"
e2e_assert_log_has "end of input at the continue question"
ask "only TavloDStop present: the question is asked" y "$QUESTION" 1 1 --prepare "$FIRST_USR" \
  --prepare 'rm /usr/Kandu/tvnn/TavloD'
ask "a French run shows [on] but takes only the English words" $'o\ny' "installation ? [on] " 2 1 \
  --prepare "$FIRST_USR" --env LANG=fr_FR

e2e_finish
