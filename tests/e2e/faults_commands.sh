#!/bin/bash
# faults_commands.sh - whole installations while one host command fails at one stage:
# cp, tar, chmod, ln, mv and sed, where the installer runs it in the fatal mode and where
# it only logs the failure; each followed by a clean second run.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
fault_init "${1:-}" "A host command fails"
D=/usr/Kandu/tvnn
FATAL="ERROR: command exited with status 1"
LOGGED="WARNING: 1 command failed; the installation may be incomplete: see /tmp/setup.log"

# failing NAME COMMAND PATTERN STATUS MESSAGE [VAR=VALUE...]: the case's fake COMMAND in
# /usr/sbin (searched first) fails with a message when its arguments match the shell
# PATTERN, else runs the real one; the faulty run ends with STATUS and MESSAGE.
failing() {
  fault_case "$1" "${@:6}"
  FAULT_PREP+=(--tool "$(e2e_fake_tool "$2-$FAULT_SLUG" "case \"\$*\" in $3) echo '$2: simulated failure' >&2; exit 1 ;; esac
exec /usr/bin/$2 \"\$@\"")" "$2")
  FAULT_UNDO="rm -f /usr/sbin/$2"
  fault_try "$4" "$5"
}

failing "cp fails copying a piece into the work area (fatal)" cp '*"/pkg_tar.aa /tmp/KanduInstall"' 1 "$FATAL"
e2e_assert_log_has "cp: simulated failure"
e2e_assert_unchanged $D
fault_done
failing "cp fails copying a tree of the package list (logged only)" cp '*"/KanduInstall/pkg/help /usr/Kandu/tvnn"' 0 "$LOGGED"
e2e_assert_change created $D/qmf file 4755
fault_done
failing "cp fails copying back a file edited by sed" cp '"-p /tmp/setup.tmp /usr/Kandu/tvnn/tavlo.conf"' 1 \
  "ERROR: the edited text of /usr/Kandu/tvnn/tavlo.conf could not be copied back; it is kept in /tmp/setup.tmp"
e2e_check "the edited text is kept" grep -q "^version     4.10.05$" "$E2E_STATE/tmp/setup.tmp"
fault_done
failing "tar fails unpacking the archive (fatal)" tar '*' 1 "$FATAL"
e2e_assert_unchanged $D
fault_done
failing "chmod fails on the new product directory (fatal)" chmod '"755 /usr/Kandu/tvnn"' 1 "$FATAL"
fault_done
failing "chmod fails giving qmf its set-user-id mode (logged only)" chmod '"4755 /usr/Kandu/tvnn/qmf"' 0 "$LOGGED"
fault_done
failing "ln fails linking /usr/Kandu/tvnn to a product in /opt (fatal)" ln '*"/usr/Kandu/tvnn"' 1 "$FATAL" \
  FAULT_RUN='./setup install /opt' FAULT_CLEAN='printf "y\n" | ./setup install /opt' FAULT_D=/opt/Kandu/tvnn
fault_done
failing "mv fails moving the previous installation to /opt (fatal)" mv '*"/usr/Kandu/tvnn /opt/Kandu"' 1 "$FATAL" \
  FAULT_BEFORE="$FIRST_USR" FAULT_RUN='printf "y\n" | ./setup install /opt' FAULT_CLEAN='printf "y\n" | ./setup install /opt' \
  FAULT_D=/opt/Kandu/tvnn
e2e_assert_unchanged /usr/Kandu/tvnn/qmf
fault_done
failing "sed fails editing a file of the package list (fatal)" sed '*tavlo.conf*' 1 "$FATAL"
e2e_assert_log_has "sed: simulated failure"
fault_done

e2e_finish
