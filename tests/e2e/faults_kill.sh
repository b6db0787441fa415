#!/bin/bash
# faults_kill.sh - whole installations in the sandbox ended by SIGTERM or SIGKILL while
# the archive is unpacked and while the package list runs; a second run must then
# install the whole product from what the killed run left.
#   tests/e2e/faults_kill.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/faults_lib.sh"
fault_init "${1:-}" "The run is killed"

# A host command NAME that does its work and, when its arguments match the pattern,
# then notes its process id in /tmp/fault-stalled and stays (as a slow command would),
# so that the run can be killed at that point.
stalling() {
  e2e_fake_tool "$1-stall" "/usr/bin/$1 \"\$@\" || exit
case \"\$*\" in
  $2) echo \$\$ >/tmp/fault-stalled; exec sleep 60 ;;
esac"
}

# The faulty run: setup in the background, the signal once the command stalls, then
# the stalled command ended; the status is setup's (128 + the signal).
killed_run() {
  printf '%s' "./setup & p=\$!
while [ ! -s /tmp/fault-stalled ]; do kill -0 \$p 2>/dev/null || break; sleep 0.1; done
kill -$1 \$p; wait \$p; s=\$?
[ -s /tmp/fault-stalled ] && kill \$(cat /tmp/fault-stalled)
exit \$s"
}

# A case: the signal, the stalling command and its pattern, the status, and
# "untouched" when the product directory must not exist yet.
kill_case() {
  local signal=$1 name=$2 pattern=$3 status=$4
  FAULT_PREP=(--tool "$(stalling "$name" "$pattern")" "$name")
  FAULT_RUN=$(killed_run "$signal")
  FAULT_UNDO="rm -f /usr/sbin/$name /tmp/fault-stalled"
  fault_try "$status"
  [ "${5:-}" = untouched ] && e2e_assert_unchanged /usr/Kandu/tvnn
  fault_done "(no message: the run is ended from outside)"
}

UNPACKING='"xvfp /tmp/KanduInstall/LinuxppcTvnn.tar"'
PACKAGE_LIST='*"/KanduInstall/pkg/qmf /usr/Kandu/tvnn"'

# ---------------------------------------------------------------------------------
fault_case "SIGTERM while the archive is unpacked"
kill_case TERM tar "$UNPACKING" 143 untouched

fault_case "SIGKILL while the archive is unpacked"
kill_case KILL tar "$UNPACKING" 137 untouched

fault_case "SIGTERM while the package list runs"
kill_case TERM cp "$PACKAGE_LIST" 143

fault_case "SIGKILL while the package list runs"
kill_case KILL cp "$PACKAGE_LIST" 137

fault_finish
