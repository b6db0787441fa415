#!/bin/bash
# faults_space.sh - whole installations on full file systems: a small tmpfs (mounted on
# /media inside the sandbox only) as the work-area base or the installation directory,
# running full since the size records understate the sizes (so that the free-space
# check lets the run go on); each followed by a clean second run.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
fault_init "${1:-}" "The work area's or the installation directory's file system is full"
SMALL=$(e2e_spoil_dist small-sizes "$E2E_DIST" 'rm SHA256SUMS; echo 1 >isize; echo 1 >tsize')

# small NAME SIZE ARGS [VAR=VALUE...]: a case whose runs are "setup ARGS" from a copy of
# the distribution whose size records both say 1 (block), with a file system of SIZE on
# /media, made large again for the second run.
small() {
  fault_case "$1" FAULT_DIST="$SMALL" FAULT_UNDO='mount -o remount,size=64m /media' FAULT_RUN="./setup $3" \
    FAULT_CLEAN="printf 'y\n' | ./setup $3" "${@:4}"
  FAULT_PREP=(--prepare "mount -t tmpfs -o size=$2,mode=0755 kandu-full /media")
}

small "the work area's file system runs full" 60k /media/w FAULT_W=/media/w/KanduInstall
fault_try 1 "ERROR: command exited with status 2"
e2e_assert_log_has "No space left on device"
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done
small "the installation directory's file system runs full" 60k "install /media/i" FAULT_D=/media/i/Kandu/tvnn
fault_try 0 "WARNING: 6 commands failed; the installation may be incomplete: see /tmp/setup.log"
e2e_assert_log_has "No space left on device"
fault_done

e2e_finish
