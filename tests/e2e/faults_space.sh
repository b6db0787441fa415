#!/bin/bash
# faults_space.sh - whole installations in the sandbox on full file systems: a small
# tmpfs (mounted on /media inside the sandbox only) as the work-area base or as the
# installation directory, refused by the free-space check when the size records tell
# the truth, and running full when they understate the sizes.
#   tests/e2e/faults_space.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/faults_lib.sh"
fault_init "${1:-}" "The work area's or the installation directory's file system is full"

# A copy of the sample distribution whose size records both say 1 (block).
SMALL_SIZES=$(fault_dist small-sizes)
echo 1 >"$SMALL_SIZES/isize"
echo 1 >"$SMALL_SIZES/tsize"

# A small file system of SIZE on /media (the sandbox's own mount; the machine's /media
# is left alone), made large again by the second run; both runs are "setup ARGS", the
# second one's input given by the optional INPUT code ("printf ... |").
small_media() {
  FAULT_PREP=(--prepare "mount -t tmpfs -o size=$1,mode=0755 kandu-full /media")
  FAULT_UNDO='mount -o remount,size=64m /media'
  FAULT_RUN="./setup $2"
  FAULT_CLEAN="${3:-}./setup $2"
}

# ---------------------------------------------------------------------------------
fault_case "the work area's file system is too small for tsize"
small_media 100k '/media/w'
FAULT_CHECK_W=/media/w/KanduInstall
fault_try 0 "There isn't enough space in /media/w/KanduInstall to perform the installation activities."
e2e_assert_file_lacks "$E2E_LOG" "cp -p"
fault_done "There isn't enough space in /media/w/KanduInstall to perform the installation activities. ..."

fault_case "the work area's file system runs full (size records too small)"
FAULT_DIST=$SMALL_SIZES
small_media 60k '/media/w'
FAULT_CHECK_W=/media/w/KanduInstall
fault_try 1 "ERROR: command exited with status 2"
e2e_assert_log_has "No space left on device"
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done

fault_case "the installation directory's file system is too small for isize"
small_media 100k 'install /media/i'
FAULT_CHECK_D=/media/i/Kandu/tvnn
fault_try 0 "There isn't enough space in /media/i to perform the installation activities."
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done "There isn't enough space in /media/i to perform the installation activities. ..."

fault_case "the installation directory's file system runs full (size records too small)"
FAULT_DIST=$SMALL_SIZES
small_media 60k 'install /media/i' 'printf "y\n" | '
FAULT_CHECK_D=/media/i/Kandu/tvnn
fault_try 0 "WARNING: 6 commands failed; the installation may be incomplete: see /tmp/setup.log"
e2e_assert_log_has "No space left on device"
fault_done

fault_finish
