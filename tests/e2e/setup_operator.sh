#!/bin/bash
# setup_operator.sh - the installer's questions in the sandbox: the running-programs
# menu (choices 2, 3, 1, end of input), not root, and the continue question when the
# product directory holds TavloD or TavloDStop (y, yes, n, no, Y, end of input).
#   tests/e2e/setup_operator.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

# A process named tvqadmin (a listed program) that runs for SECONDS.
running_tvqadmin() { echo "cp /bin/sleep /opt/tvqadmin && (/opt/tvqadmin $1 </dev/null >/dev/null 2>&1 &)"; }
# A process named tvqadmin that ends SECONDS after setup has started, however long the
# sandbox took to start it.
tvqadmin_ending_after_start() {
  printf '%s' "printf '#!/bin/sh\\nwhile ! pgrep -x setup >/dev/null; do sleep 0.2; done\\nsleep $1\\n' >/opt/tvqadmin && chmod 755 /opt/tvqadmin && (/opt/tvqadmin </dev/null >/dev/null 2>&1 &)"
}

MENU="
Would you like to:
1.  Wait 30 seconds for these processes to terminate
2.  Quit the installation

Enter a selection:  "
QUESTION="Do You want to continue with the installation? [yn] "
WARNING="
If you currently have Kandu printer software installed that uses TavloD
print daemon, you must delete all your Kandu print queues prior to installing
this package.

NOTE: TavloD is located in <install directory>/Kandu/tvnn
"

# How often a fixed text occurs in the last run's standard output.
count_in_stdout() { grep -oF -- "$1" "$E2E_STDOUT" | wc -l; }

assert_count() {
  local got
  got=$(count_in_stdout "$1")
  [ "$got" = "$2" ] && e2e_pass "'$1' shown $2 time(s)" || e2e_fail "'$1' shown $got time(s), expected $2"
}


assert_installed() { e2e_assert_log_has 'chmod  4755 /usr/Kandu/tvnn/qmf'; }
assert_not_installed() { e2e_assert_file_lacks "$E2E_LOG" 'chmod  4755'; }

# ---------------------------------------------------------------------------------
e2e_case "running programs: choice 2 quits before anything is touched"
e2e_run_setup --prepare "$FIRST_USR" --prepare "$(running_tvqadmin 60)" --stdin 2 --
e2e_assert_status 0
e2e_assert_stdout_has $'\nThe following processes are running.\nThe installer can not continue until these terminate:\ntvqadmin ( '
e2e_assert_stdout_has " )
$MENU"
e2e_assert_nothing_changed

e2e_case "running programs: another answer shows the menu again"
e2e_run_setup --prepare "$FIRST_USR" --prepare "$(running_tvqadmin 60)" --stdin $'3\n2' --
e2e_assert_status 0
assert_count "Enter a selection:" 2
assert_count "The following processes are running." 2
e2e_assert_nothing_changed

e2e_case "running programs: end of input quits"
e2e_run_setup --prepare "$FIRST_USR" --prepare "$(running_tvqadmin 60)" --stdin-file /dev/null --
e2e_assert_status 0
assert_count "Enter a selection:" 1
e2e_assert_log_has "end of input at the running-programs menu"
e2e_assert_nothing_changed

e2e_case "running programs: choice 1 waits until they have ended"
started=$SECONDS
e2e_run_setup --prepare "$FIRST_USR" --prepare "$(tvqadmin_ending_after_start 7)" --stdin $'1\ny' --
e2e_assert_status 0
assert_count "Enter a selection:" 1
assert_installed
[ $((SECONDS - started)) -ge 5 ] && e2e_pass "waited" || e2e_fail "did not wait 5 seconds"

# ---------------------------------------------------------------------------------
e2e_case "not root"
e2e_run_setup --tool "$(e2e_fake_tool whoami 'echo operator')" --
e2e_assert_status 0
e2e_assert_stdout_has $'operator is logged in\nYou must become root to run setup\n'
e2e_assert_stderr_has "tvqadmin: not found"
e2e_assert_log_has 'rm -rf  /tmp/KanduInstall'
assert_not_installed
e2e_assert_unchanged /usr/Kandu /tmp/KanduInstall

e2e_case "root over a first installation: no question"
e2e_run_setup --
e2e_assert_status 0
e2e_assert_stdout_lacks "$QUESTION"

for answer in y yes; do
  e2e_case "TavloD present, answer $answer"
  e2e_run_setup --prepare "$FIRST_USR" --stdin "$answer" --
  e2e_assert_status 0
  e2e_assert_stdout_has "$WARNING
$QUESTION"
  assert_count "$QUESTION" 1
  assert_installed
done

e2e_case "TavloD present, answer no: the run ends, the work area stays"
e2e_run_setup --prepare "$FIRST_USR" --stdin no --
e2e_assert_status 0
assert_not_installed
[ -d "$E2E_STATE/tmp/KanduInstall" ] && e2e_pass "the work area stays" || e2e_fail "no work area"
[ "$(e2e_standin_count tvqadmin)" = 0 ] && e2e_pass "no clean-up" || e2e_fail "tvqadmin ran"

e2e_case "TavloD present, end of input: the run ends as after no"
e2e_run_setup --prepare "$FIRST_USR" --stdin-file /dev/null --
e2e_assert_status 0
assert_count "$QUESTION" 1
assert_not_installed
e2e_assert_log_has "end of input at the continue question"

e2e_case "TavloD present, unknown answers ask again"
e2e_run_setup --prepare "$FIRST_USR" --stdin $'Y\nYes\noui\n\n   \ny' --
e2e_assert_status 0
assert_count "$QUESTION" 6
assert_installed

e2e_case "TavloD present, answer n: the old daemon's rc2.d scripts go, the run goes on"
RC='mkdir -p /etc/rc2.d && touch /etc/rc2.d/KKanduPrintD /etc/rc2.d/SKanduPrintD /etc/rc2.d/S99other'
e2e_run_setup --prepare "$FIRST_USR" --prepare "$RC" --stdin n --
e2e_assert_status 0
e2e_assert_change removed /etc/rc2.d/KKanduPrintD
e2e_assert_change removed /etc/rc2.d/SKanduPrintD
e2e_assert_unchanged /etc/rc2.d/S99other
e2e_assert_log_has 'rm -rf /etc/rc2.d/KKanduPrintD'
assert_installed

e2e_case "answer y keeps the rc2.d scripts"
e2e_run_setup --prepare "$FIRST_USR" --prepare "$RC" --stdin y --
e2e_assert_unchanged /etc/rc2.d/KKanduPrintD /etc/rc2.d/SKanduPrintD

e2e_case "only TavloDStop present: the question is asked"
e2e_run_setup --prepare "$FIRST_USR" --prepare 'rm /usr/Kandu/tvnn/TavloD' --stdin y --
e2e_assert_status 0
assert_count "$QUESTION" 1
assert_installed

e2e_case "a French run shows [on] but takes only the English words"
e2e_run_setup --prepare "$FIRST_USR" --lang fr_FR --stdin $'o\ny' --
e2e_assert_status 0
assert_count "installation ? [on] " 2
assert_installed

e2e_finish
