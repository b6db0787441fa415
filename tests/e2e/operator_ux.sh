#!/bin/bash
# operator_ux.sh - what the operator sees at the edges of a run: options that are not
# options, how every run that installs nothing says why, and the log's place at the end.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

# option NAME STATUS STDOUT STDERR CHANGES -- ARGS: the first lines of standard output and
# error, and the paths the run created (the log included: "" when it was not touched).
option() {
  local name=$1 status=$2 out=$3 err=$4 changes=$5
  shift 6
  e2e_case "option: $name"
  e2e_run_setup -- "$@"
  e2e_assert_eq "status, first lines" "$E2E_STATUS|$(head -n 1 "$E2E_STDOUT")|$(head -n 1 "$E2E_STDERR")" \
    "$status|$out|$err"
  e2e_assert_eq "changes" "$(cut -f2 "$E2E_REPORT" | tr '\n' ' ')" "$changes"
}
option "--help prints the usage, touches nothing" 0 "usage: setup [BASE] [install DIR]" "" "" -- /var/w --help
option "-h anywhere" 0 "usage: setup [BASE] [install DIR]" "" "" -- install /opt -h
option "--version is -v" 0 "." "setup 4.10.05" "/tmp/setup.log /var/w " -- /var/w --version
option "an unknown option is refused before a base is made" 2 "" "setup: unknown option '--bogus'" "" \
  -- /var/w --bogus -v
e2e_assert_file_has "$E2E_STDERR" "usage: setup [BASE] [install DIR]"

# outcome NAME STATUS SAID [run options]: the run ends with STATUS, says SAID (on either
# stream) and ends its standard error with the log's place.
outcome() {
  local name=$1 status=$2 said=$3
  shift 3
  e2e_case "outcome: $name"
  e2e_run_setup "$@" --
  e2e_assert_status "$status"
  e2e_assert_said "$said"
  e2e_assert_eq "last line of stderr" "$(tail -n 1 "$E2E_STDERR")" "setup: see /tmp/setup.log"
}
QUESTION="Do You want to continue with the installation? [yn] "
RC='mkdir -p /etc/rc2.d && touch /etc/rc2.d/KKanduPrintD /etc/rc2.d/SKanduPrintD'
outcome "n at the question ends the run, the rc2.d scripts stay" 0 "nothing installed: declined" \
  --stdin n --prepare "$FIRST_USR" --prepare "$RC"
e2e_assert_unchanged /etc/rc2.d/KKanduPrintD /etc/rc2.d/SKanduPrintD /usr/Kandu/tvnn/qmf
outcome "the end of input at the question" 0 "nothing installed: end of input at the continue question" \
  --prepare "$FIRST_USR"
outcome "not root" 0 "nothing installed: not run by root" --tool "$(e2e_fake_tool whoami 'echo operator')"
outcome "quit while suite programs run" 0 "nothing installed: quit while suite programs run" --stdin 2 \
  --prepare "$FIRST_USR" --prepare 'cp /bin/sleep /opt/tvqadmin && (/opt/tvqadmin 60 </dev/null >/dev/null 2>&1 &)'
outcome "a failed fatal command names its command line" 1 "ERROR: command exited with status 3" \
  --tool "$(e2e_fake_tool tar 'exit 3')"
e2e_check "the command line follows" grep -qx '.*sh -c "/usr/sbin/tar xvfp /tmp/KanduInstall/LinuxppcTvnn.tar"' \
  <(grep -A1 -F "ERROR: command exited" "$E2E_STDOUT" | tail -n 1)

e2e_case "an installation ends without a reason line or the log's place"
e2e_run_setup --
e2e_assert_eq "status, stderr" "$E2E_STATUS|$(cat "$E2E_STDERR")" "0|"

e2e_finish
