#!/bin/bash
# faults_commands.sh - whole installations in the sandbox while one host command
# fails at one stage: cp, tar, chmod, ln, mv and sed, each where the installer runs
# it in the fatal mode and where it only logs the failure. Every case checks the
# message, the status, the log, that nothing outside the installer's places changed,
# and that a second run without the fault installs the whole product.
#   tests/e2e/faults_commands.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/faults_lib.sh"
fault_init "${1:-}" "A host command fails"


# A fake host command NAME in /usr/sbin (searched first): it fails with a message
# and status 1 when its arguments match the shell pattern, else runs the real one.
fake() {
  local name=$1 pattern=$2
  e2e_fake_tool "$name-$(fault_slug)" "case \"\$*\" in
  $pattern) echo \"$name: simulated failure\" >&2; exit 1 ;;
esac
exec /usr/bin/$name \"\$@\""
}

# Makes FAULT_PREP install the fake command and FAULT_UNDO remove it.
fail_when() {
  FAULT_PREP+=(--tool "$(fake "$1" "$2")" "$1")
  FAULT_UNDO="rm -f /usr/sbin/$1"
}

# A case whose host command NAME fails when its arguments match the pattern.
failing() {
  fault_case "$1"
  fail_when "$2" "$3"
}

D=/usr/Kandu/tvnn
FATAL="ERROR: command exited with status 1"
LOGGED="WARNING: 1 command failed; the installation may be incomplete: see /tmp/setup.log"

# ---------------------------------------------------------------------------------
failing "cp fails copying a piece into the work area (fatal)" cp '*"/pkg_tar.aa /tmp/KanduInstall"'
fault_try 1 "$FATAL"
e2e_assert_log_has "cp: simulated failure"
e2e_assert_unchanged $D
fault_done

failing "cp fails copying a tree of the package list (logged only)" cp '*"/KanduInstall/pkg/help /usr/Kandu/tvnn"'
fault_try 0 "$LOGGED"
e2e_assert_log_has "WARNING_MSG: command exited with status 1"
e2e_assert_change created $D/qmf file 4755
fault_done

failing "cp fails copying back a file edited by sed" cp '"-p /tmp/setup.tmp /usr/Kandu/tvnn/tavlo.conf"'
fault_try 1 "ERROR: the edited text of /usr/Kandu/tvnn/tavlo.conf could not be copied back; it is kept in /tmp/setup.tmp"
e2e_assert_change created /tmp/setup.tmp
fault_done

failing "tar fails unpacking the archive (fatal)" tar '*'
fault_try 1 "$FATAL"
e2e_assert_unchanged $D
fault_done

failing "chmod fails on the new product directory (fatal)" chmod '"755 /usr/Kandu/tvnn"'
fault_try 1 "$FATAL"
fault_done

failing "chmod fails on a file of the package list (fatal)" chmod '"755 /usr/Kandu/tvnn/qmf"'
fault_try 1 "$FATAL"
fault_done

failing "chmod fails giving qmf its set-user-id mode (logged only)" chmod '"4755 /usr/Kandu/tvnn/qmf"'
fault_try 0 "$LOGGED"
e2e_assert_log_has "WARNING_MSG: command exited with status 1"
e2e_assert_change created $D/tvrtvnntty file 4755
fault_done

failing "ln fails linking /usr/Kandu/tvnn to a product in /opt (fatal)" ln '*"/usr/Kandu/tvnn"'
FAULT_RUN='./setup install /opt'
FAULT_CLEAN='printf "y\n" | ./setup install /opt'
FAULT_ALLOW=(/opt/Kandu)
FAULT_CHECK_D=/opt/Kandu/tvnn
fault_try 1 "$FATAL"
fault_done

failing "ln fails making a link the package list asks for (fatal)" ln '*"/etc/tavlo"'
fault_try 1 "$FATAL"
fault_done

fault_case "mv fails moving the previous installation to /opt (fatal)"
FAULT_PREP=(--prepare "$FIRST_USR")
fail_when mv '*"/usr/Kandu/tvnn /opt/Kandu"'
FAULT_RUN='printf "y\n" | ./setup install /opt'
FAULT_CLEAN='printf "y\n" | ./setup install /opt'
FAULT_CHECK_D=/opt/Kandu/tvnn
fault_try 1 "$FATAL"
e2e_assert_unchanged $D/qmf
fault_done

failing "mv fails renaming a file of the package list (fatal)" mv '*"/usr/Kandu/tvnn/README"'
fault_try 1 "$FATAL"
fault_done

failing "sed fails editing a file of the package list (fatal)" sed '*tavlo.conf*'
fault_try 1 "$FATAL"
e2e_assert_log_has "sed: simulated failure"
fault_done

fault_finish
