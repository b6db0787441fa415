#!/bin/bash
# faults_kill.sh - whole installations ended by SIGTERM or SIGKILL while the archive is
# unpacked and while the package list runs; a second run must then install the whole
# product from what the killed run left.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
fault_init "${1:-}" "The run is killed"

# killed NAME SIGNAL COMMAND PATTERN STATUS: the host COMMAND does its work and, when its
# arguments match PATTERN, notes its id and stays (as a slow command would); setup, run
# in the background, gets SIGNAL then, and the stalled command is ended. The status is
# setup's (128 + the signal).
killed() {
  fault_case "$1" FAULT_UNDO="rm -f /usr/sbin/$3 /tmp/fault-stalled" FAULT_RUN="./setup & p=\$!
while [ ! -s /tmp/fault-stalled ]; do kill -0 \$p 2>/dev/null || break; sleep 0.1; done
kill -$2 \$p; wait \$p; s=\$?
[ -s /tmp/fault-stalled ] && kill \$(cat /tmp/fault-stalled)
exit \$s"
  FAULT_PREP=(--tool "$(e2e_fake_tool "$3-stall" "/usr/bin/$3 \"\$@\" || exit
case \"\$*\" in $4) echo \$\$ >/tmp/fault-stalled; exec sleep 60 ;; esac")" "$3")
  fault_try "$5"
}

UNPACKING='"xvfp /tmp/KanduInstall/LinuxppcTvnn.tar"'
LIST='*"/KanduInstall/pkg/qmf /usr/Kandu/tvnn"'
for signal in TERM:143 KILL:137; do
  killed "SIG${signal%:*} while the archive is unpacked" "${signal%:*}" tar "$UNPACKING" "${signal#*:}"
  e2e_assert_unchanged /usr/Kandu/tvnn
  fault_done "(no message: the run is ended from outside)"
  killed "SIG${signal%:*} while the package list runs" "${signal%:*}" cp "$LIST" "${signal#*:}"
  fault_done "(no message: the run is ended from outside)"
done

e2e_finish
