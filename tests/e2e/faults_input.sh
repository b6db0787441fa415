#!/bin/bash
# faults_input.sh - whole installations with what the operator's side gives the
# installer spoilt: closed standard descriptors, unusual LANG and PATH values, and
# unusual ways of starting setup (relative paths, "../", links); each followed by a
# clean second run.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
fault_init "${1:-}" "Unusual input, environment and invocation"
USUAL="(nothing but the usual output)"

# A closed standard input is /dev/null to the installer: the menu shown while a listed
# program runs (a copy of sleep, ended by its id to undo the fault) ends at once.
fault_case "standard input closed at the running-programs menu" FAULT_RUN='./setup <&-' FAULT_BEFORE="$FIRST_USR" \
  FAULT_UNDO='kill $(cat /tmp/fault-running)'
FAULT_PREP=(--prepare 'cp /bin/sleep /opt/tvqadmin && (/opt/tvqadmin 600 </dev/null >/dev/null 2>&1 & echo $! >/tmp/fault-running)')
fault_try 0 "2.  Quit the installation"
e2e_assert_log_lacks "cp -p"
fault_done "the running-programs menu; the end of input quits"

fault_case "standard output and standard error closed" FAULT_RUN='./setup >&- 2>&-'
fault_try 0
e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755
e2e_assert_log_has "rm -rf  /tmp/KanduInstall"
fault_done "nothing (the output has nowhere to go)"

# Runs that install as usual: the case's title, its faulty run, and the distribution
# folder it copies from.
SUB=$(e2e_spoil_dist with-sub "$E2E_DIST" 'mkdir sub')
for row in 'LANG of 3000 characters with printf directives and a line feed|LANG="$(printf "%%s%%n%%x\\n%.0s" $(seq 1000))" ./setup' \
  'PATH empty|PATH= ./setup' 'PATH of 5000 folders that do not exist|PATH="$(seq -s: -f /nonexistent/%g 5000):/usr/bin:/bin" ./setup' \
  'PATH of one folder name 100000 characters long|PATH="/$(printf "%0100000d" 0):/usr/bin:/bin" ./setup' \
  "setup started by a relative path from the folder above|cd .. && ./${E2E_DIST##*/}/setup" \
  "setup started as ../setup from a folder of the distribution|cd $SUB/sub && ../setup|$SUB" \
  "setup started through a link to the distribution's folder|/opt/dist/setup|/opt/dist"; do
  IFS='|' read -r title run dist <<<"$row"
  dist=${dist:-$E2E_DIST}
  fault_case "$title" FAULT_RUN="$run"
  FAULT_PREP=(--link "$E2E_DIST" /opt/dist)
  fault_try 0
  e2e_assert_file_lacks "$E2E_STDERR" "ERROR"
  e2e_assert_log_has "cp -p $dist/disks /tmp/KanduInstall"
  e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755
  fault_done "$USUAL"
done

# The distribution is looked for beside the link, where the size records are missed first.
fault_case "setup started through a link to it in another folder" FAULT_RUN='/opt/bin/setup'
FAULT_PREP=(--link "$E2E_DIST/setup" /opt/bin/setup)
fault_try 0 "Could not determine how much space needed for install, missing isize."
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done

e2e_finish
