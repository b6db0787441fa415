#!/bin/bash
# faults_input.sh - whole installations in the sandbox with what the operator's side
# gives the installer spoilt: standard input closed at each question, unusual LANG and
# PATH values, and unusual ways of starting setup (relative paths, "../", links).
#   tests/e2e/faults_input.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/faults_lib.sh"
fault_init "${1:-}" "Unusual input, environment and invocation"

# A process named NAME (a copy of sleep) that runs until FAULT_UNDO ends it by its id.
running() {
  echo "cp /bin/sleep /opt/$1 && (/opt/$1 600 </dev/null >/dev/null 2>&1 & echo \$! >/tmp/fault-running)"
}
STOP_RUNNING='kill $(cat /tmp/fault-running)'
USUAL="(nothing but the usual output)"

# ---------------------------------------------------------------------------------
fault_case "standard input closed at the running-programs menu"
FAULT_PREP=(--prepare "$FIRST_USR" --prepare "$(running tvqadmin)")
FAULT_RUN='./setup <&-'
FAULT_UNDO=$STOP_RUNNING
fault_try 0 "2.  Quit the installation"
e2e_assert_file_lacks "$E2E_LOG" "cp -p"
fault_done "the running-programs menu; the end of input quits"

fault_case "standard input closed at the continue question"
FAULT_PREP=(--prepare "$FIRST_USR")
FAULT_RUN='./setup <&-'
fault_try 0 "Do You want to continue with the installation? [yn] "
e2e_assert_log_has "end of input at the continue question: installation not done"
e2e_assert_unchanged /usr/Kandu/tvnn/qmf
fault_done "the continue question; the end of input answers no"

fault_case "standard input closed at a checkps line of the package list"
FAULT_PREP=(--prepare "$(running TavloD)")
FAULT_RUN='./setup <&-'
FAULT_UNDO=$STOP_RUNNING
fault_try 0 "2.  Quit the installation"
e2e_assert_log_has "rm -rf  /tmp/KanduInstall"
fault_done "the running-programs menu; the end of input quits, the run cleans up"

fault_case "standard output and standard error closed"
FAULT_RUN='./setup >&- 2>&-'
fault_try 0
e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755
e2e_assert_log_has "rm -rf  /tmp/KanduInstall"
fault_done "nothing (the output has nowhere to go)"

fault_case "LANG of 3000 characters with printf directives and a line feed"
FAULT_RUN='LANG="$(printf "%%s%%n%%x\\n%.0s" $(seq 1000))" ./setup'
fault_try 0
e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755
e2e_assert_stderr_is ""
fault_done "$USUAL (English)"

# Runs that install as usual: the case's title, then its faulty run.
for row in "PATH empty|PATH= ./setup" \
  'PATH of 5000 folders that do not exist|PATH="$(seq -s: -f /nonexistent/%g 5000):/usr/bin:/bin" ./setup' \
  'PATH of one folder name 100000 characters long|PATH="/$(printf "%0100000d" 0):/usr/bin:/bin" ./setup' \
  "setup started by a relative path from the folder above|cd .. && ./$(basename "$FAULT_DIST_DEFAULT")/setup"; do
  fault_case "${row%%|*}"
  FAULT_RUN=${row#*|}
  fault_try 0
  e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755
  fault_done "$USUAL"
done

fault_case "setup started as ../setup from a folder of the distribution"
SUB=$(fault_dist with-sub)
mkdir -p "$SUB/sub"
FAULT_DIST=$SUB
FAULT_RUN='cd sub && ../setup'
fault_try 0
e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755
e2e_assert_log_has "cp -p $SUB/disks /tmp/KanduInstall"
fault_done "$USUAL"

fault_case "setup started through a link to the distribution's folder"
FAULT_PREP=(--link "$FAULT_DIST_DEFAULT" /opt/dist)
FAULT_RUN='/opt/dist/setup'
fault_try 0
e2e_assert_log_has "cp -p /opt/dist/disks /tmp/KanduInstall"
fault_done "$USUAL"

fault_case "setup started through a link to it in another folder"
FAULT_PREP=(--link "$FAULT_DIST_DEFAULT/setup" /opt/bin/setup)
FAULT_RUN='/opt/bin/setup'
# The distribution is looked for beside the link, where only the size records are
# missed first.
fault_try 0 "Could not determine how much space needed for install, missing isize."
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done

fault_finish
