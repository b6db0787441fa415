#!/bin/bash
# faults_pkglist.sh - whole installations in the sandbox whose package list holds a
# faulty line after the sample's own lines: too long, tabs, binary bytes, unknown
# commands and attributes, missing words, double quotes. The faulty run starts that
# distribution's setup; the second run takes the sound one.
#   tests/e2e/faults_pkglist.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/faults_lib.sh"
fault_init "${1:-}" "A faulty package list"

SAMPLE_LIST=$(cat "$E2E_ROOT/sample/pkg/pkg.list")

# The case's faulty run: a distribution NAME whose list is the sample's followed by TEXT.
with_lines() {
  FAULT_RUN="$(fault_product_dist "$1" "$SAMPLE_LIST
$2")/setup"
}

# ---------------------------------------------------------------------------------
fault_case "a line longer than 510 characters"
with_lines long "c README.txt mode 600 $(printf '%0600d' 0)
"
fault_try 0
e2e_assert_log_has "WARNING: pkg.list: line longer than 510 characters skipped: c README.txt mode 600 000"
e2e_assert_stderr_is ""
fault_done "(nothing but the usual output; the line is skipped with a warning in the log)"

fault_case "a tab between a command and its name"
with_lines tab "$(printf 'c\tTVQ mode 700')
"
fault_try 0 "WARNING: 1 command failed; the installation may be incomplete: see /tmp/setup.log"
e2e_assert_log_has "/tmp/KanduInstall/pkg/mode': No such file or directory"
fault_done

fault_case "binary bytes in a name"
with_lines binary "$(printf 'c qm\001\377f mode 755')
"
fault_try 1 "ERROR: command exited with status 1"
fault_done

fault_case "an unknown command and an unknown attribute"
with_lines unknown "frobnicate README.txt colour red mode 640
"
fault_try 0
e2e_assert_stderr_is ""
e2e_assert_change created /usr/Kandu/tvnn/README.txt file 0640
fault_done "(nothing but the usual output; the unknown command copies, the unknown attribute is skipped)"

fault_case "commands that lack words"
with_lines missing "dirto help
c
v >=
checkps
newdir
"
fault_try 0
e2e_assert_stderr_is ""
e2e_assert_log_has "WARNING: pkg.list: 'dirto' lacks its destination, line skipped: dirto help"
e2e_assert_log_has "WARNING: pkg.list: 'checkps' lacks its list of programs, line skipped: checkps"
fault_done "(nothing but the usual output; each line is skipped with a warning in the log)"

fault_case "a double quote in the arguments of sed"
with_lines quote 'm tavlo.conf sed -e "s/a/b/"
'
fault_try 1 "ERROR: a double quote cannot stand in a command line, not run: sed -e \"s/a/b/\" /usr/Kandu/tvnn/tavlo.conf"
fault_done "ERROR: a double quote cannot stand in a command line, not run: sed -e \"s/a/b/\" ..."

fault_case "a double quote in the name of a new folder"
with_lines newdir 'newdir a"b mode 777
'
fault_try 1 "ERROR: a double quote cannot stand in a command line, not run: mkdir /usr/Kandu/tvnn/a\"b"
e2e_assert_unchanged /usr/Kandu/tvnn/a
fault_done

fault_finish
