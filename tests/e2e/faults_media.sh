#!/bin/bash
# faults_media.sh - whole installations in the sandbox from spoilt distributions: a
# piece missing, cut short, corrupt or unreadable, a disks list longer than 4096 bytes,
# a missing size record and an archive without pkg.list. The faulty run starts the
# spoilt distribution's setup; the second run takes the sound one.
#   tests/e2e/faults_media.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/faults_lib.sh"
fault_init "${1:-}" "A spoilt distribution"

e2e_make_dist pieces --piece-size 2K >/dev/null || { echo "FAIL: mkdist"; exit 1; }
PIECES=$E2E_DIST
[ -f "$PIECES/pkg_tar.ac" ] || { echo "FAIL: the sample should make at least three pieces"; exit 1; }
FAULT_DIST_DEFAULT=$PIECES

# A spoilt copy of the distribution of pieces: NAME, then shell code run in it.
spoilt() {
  local dir
  dir=$(fault_dist "$1")
  (cd "$dir" && eval "$2")
  echo "$dir"
}

# Makes the archive of the distribution in the current folder anew without
# pkg/pkg.list, in pieces of 2 KB as before.
without_list() {
  cat pkg_tar.* >archive.tar.Z && rm pkg_tar.* && uncompress archive.tar.Z &&
    mkdir unpacked && tar -C unpacked -xf archive.tar && rm unpacked/pkg/pkg.list archive.tar &&
    tar -C unpacked --owner=root --group=root -cf archive.tar pkg && rm -r unpacked &&
    compress archive.tar && split -b 2K -a 2 archive.tar.Z pkg_tar. && rm archive.tar.Z &&
    printf 'disks %s\nend_of_list\n' "$(echo pkg_tar.* )" >disks
}

# The case runs the spoilt distribution's setup from the sound one's folder.
from() {
  FAULT_RUN="$1/setup"
}

# ---------------------------------------------------------------------------------
fault_case "a piece named in disks is missing"
from "$(spoilt missing 'rm pkg_tar.ab')"
fault_try 1 "ERROR: command exited with status 1"
e2e_assert_log_has "pkg_tar.ab': No such file or directory"
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done

fault_case "a piece is cut short"
from "$(spoilt short 'head -c 1000 pkg_tar.ac >cut && mv cut pkg_tar.ac')"
fault_try 1 "ERROR: command exited with status 2"
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done

fault_case "a piece is corrupt (its bytes overwritten)"
from "$(spoilt corrupt 'printf "%01000d" 0 | dd of=pkg_tar.aa bs=1 seek=500 conv=notrunc status=none')"
fault_try 1 "ERROR: command exited with status 2"
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done

fault_case "a piece cannot be read (a folder in its place)"
from "$(spoilt folder 'rm pkg_tar.aa && mkdir pkg_tar.aa')"
fault_try 1 "ERROR: command exited with status 1"
e2e_assert_log_has "omitting directory"
fault_done

fault_case "a piece is a link that leads nowhere"
from "$(spoilt dangling 'rm pkg_tar.aa && ln -s /nonexistent/pkg_tar.aa pkg_tar.aa')"
fault_try 1 "ERROR: command exited with status 1"
fault_done

fault_case "disks is longer than 4096 bytes and names a piece beyond"
from "$(spoilt long 'pad=$(printf "%4070s" ""); printf "disks pkg_tar.aa pkg_tar.ab%s pkg_tar.ac\nend_of_list\n" "$pad" >disks')"
fault_try 1 "ERROR: command exited with status 2"
e2e_assert_log_has "/disks is longer than 4096 bytes: only its first 4096 bytes are read"
fault_done

# A record that holds no number counts as 0: the check passes and the run installs.
fault_case "isize holds no number (a folder in its place)"
from "$(spoilt isize 'rm isize && mkdir isize')"
fault_try 0
e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755
fault_done

fault_case "isize is missing"
from "$(spoilt noisize 'rm isize')"
fault_try 0 "Could not determine how much space needed for install, missing isize."
fault_done

fault_case "tsize is missing"
from "$(spoilt tsize 'rm tsize')"
fault_try 0 "Could not determine how much space needed for install, missing isize."
fault_done

fault_case "the archive holds no pkg.list"
from "$(spoilt nolist 'without_list')"
fault_try 0 "ERROR: can't open file, /tmp/KanduInstall/pkg/pkg.list"
e2e_assert_change created /usr/Kandu/tvnn/.tv_cfg
fault_done

fault_finish
