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

FIRST_USR='./setup </dev/null >/dev/null 2>&1'

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

D=/usr/Kandu/tvnn
W=/tmp/KanduInstall

# ---------------------------------------------------------------------------------
fault_case "cp fails copying a piece into the work area (fatal)"
fail_when cp '*"/pkg_tar.aa /tmp/KanduInstall"'
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
e2e_assert_log_has "cp: simulated failure"
e2e_assert_unchanged $D
fault_contained
fault_second
fault_row

fault_case "cp fails copying a tree of the package list (logged only)"
fail_when cp '*"/KanduInstall/pkg/help /usr/Kandu/tvnn"'
fault_first
e2e_assert_status 0
fault_sees "WARNING: 1 command failed; the installation may be incomplete: see /tmp/setup.log"
e2e_assert_log_has "WARNING_MSG: command exited with status 1"
e2e_assert_change created $D/qmf file 4755
fault_contained
fault_second
fault_row

fault_case "cp fails copying back a file edited by sed"
fail_when cp '"-p /tmp/setup.tmp /usr/Kandu/tvnn/tavlo.conf"'
fault_first
e2e_assert_status 1
fault_sees "ERROR: the edited text of /usr/Kandu/tvnn/tavlo.conf could not be copied back; it is kept in /tmp/setup.tmp"
e2e_assert_change created /tmp/setup.tmp
fault_contained
fault_second
fault_row

fault_case "tar fails unpacking the archive (fatal)"
fail_when tar '*'
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
e2e_assert_unchanged $D
fault_contained
fault_second
fault_row

fault_case "chmod fails on the new product directory (fatal)"
fail_when chmod '"755 /usr/Kandu/tvnn"'
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
fault_contained
fault_second
fault_row

fault_case "chmod fails on a file of the package list (fatal)"
fail_when chmod '"755 /usr/Kandu/tvnn/qmf"'
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
fault_contained
fault_second
fault_row

fault_case "chmod fails giving qmf its set-user-id mode (logged only)"
fail_when chmod '"4755 /usr/Kandu/tvnn/qmf"'
fault_first
e2e_assert_status 0
fault_sees "WARNING: 1 command failed; the installation may be incomplete: see /tmp/setup.log"
e2e_assert_log_has "WARNING_MSG: command exited with status 1"
e2e_assert_change created $D/tvrtvnntty file 4755
fault_contained
fault_second
fault_row

fault_case "ln fails linking /usr/Kandu/tvnn to a product in /opt (fatal)"
fail_when ln '*"/usr/Kandu/tvnn"'
FAULT_RUN='./setup install /opt'
FAULT_CLEAN='printf "y\n" | ./setup install /opt'
FAULT_ALLOW=(/opt/Kandu)
FAULT_CHECK_D=/opt/Kandu/tvnn
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
fault_contained
fault_second
fault_row

fault_case "ln fails making a link the package list asks for (fatal)"
fail_when ln '*"/etc/tavlo"'
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
fault_contained
fault_second
fault_row

fault_case "mv fails moving the previous installation to /opt (fatal)"
FAULT_PREP=(--prepare "$FIRST_USR")
fail_when mv '*"/usr/Kandu/tvnn /opt/Kandu"'
FAULT_RUN='printf "y\n" | ./setup install /opt'
FAULT_CLEAN='printf "y\n" | ./setup install /opt'
FAULT_CHECK_D=/opt/Kandu/tvnn
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
e2e_assert_unchanged $D/qmf
fault_contained
fault_second
fault_row

fault_case "mv fails renaming a file of the package list (fatal)"
fail_when mv '*"/usr/Kandu/tvnn/README"'
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
fault_contained
fault_second
fault_row

fault_case "sed fails editing a file of the package list (fatal)"
fail_when sed '*tavlo.conf*'
fault_first
e2e_assert_status 1
fault_sees "ERROR: command exited with status 1"
e2e_assert_log_has "sed: simulated failure"
fault_contained
fault_second
fault_row

fault_finish
