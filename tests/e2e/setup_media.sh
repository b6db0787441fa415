#!/bin/bash
# setup_media.sh - the distribution's list and pieces in the sandbox: several pieces,
# capital media, tabs, end_of_list variants, lists that do not name themselves or are
# missing, unsafe and cut names, and a host without /usr/bin/uncompress.
#   tests/e2e/setup_media.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
e2e_require_setup
e2e_make_dist pieces --piece-size 2K >/dev/null || { echo "FAIL: mkdist"; exit 1; }
PIECES=$E2E_DIST

# A copy of the pieces distribution whose list is the given text ("-": no list).
dist_with_list() {
  local name=$1 text=$2 dir=$E2E_SCRATCH/list-$1
  rm -rf "$dir"
  cp -a "$PIECES" "$dir"
  rm -f "$dir/disks"
  [ "$text" = - ] || printf '%s' "$text" >"$dir/disks"
  echo "$dir"
}

assert_installed() { e2e_assert_log_has 'chmod  4755 /usr/Kandu/tvnn/qmf'; }
assert_copied() { e2e_assert_log_has "cp -p $E2E_RUN_DIST/$1 /tmp/KanduInstall"$'\n'; }
assert_not_copied() { local n; for n in "$@"; do e2e_assert_file_lacks "$E2E_LOG" "cp -p $E2E_RUN_DIST/$n "; done; }

run_list() {
  E2E_RUN_DIST=$(dist_with_list "$1" "$2")
  shift 2
  e2e_run_setup --dist "$E2E_RUN_DIST" "$@" --
}

[ -f "$PIECES/pkg_tar.ac" ] || { echo "FAIL: the sample should make at least three pieces"; exit 1; }
ALL=$(cd "$PIECES" && echo pkg_tar.*)

# ---------------------------------------------------------------------------------
e2e_case "several pieces, copied and joined in list order"
run_list ordered "disks $ALL
end_of_list
"
e2e_assert_status 0
for p in disks $ALL; do assert_copied "$p"; done
assert_installed

e2e_case "a medium in capitals with the list written in lower case"
e2e_make_dist upper --upper --piece-size 2K >/dev/null
E2E_RUN_DIST=$E2E_DIST
e2e_run_setup --
e2e_assert_status 0
assert_copied DISKS
assert_copied PKG_TAR.AA
assert_installed

e2e_case "names separated by tabs are copied but not joined"
run_list tabs "disks	$(echo "$ALL" | tr ' ' '\t')
end_of_list
"
e2e_assert_status 1
for p in disks $ALL; do assert_copied "$p"; done
e2e_assert_log_has 'tar xvfp /tmp/KanduInstall/LinuxppcTvnn.tar'
e2e_assert_stdout_has "ERROR: "

# The joining reads the list as one run of words and stops at the first end_of_list
# word anywhere, so in the next two lists only the first piece is joined: what is
# checked is the copy, which got past every listed name.
e2e_case "an end word with a trailing blank ends only its line"
first=${ALL%% *}
rest=${ALL#* }
run_list trailing "disks $first
end_of_list 
$rest
end_of_list
"
for p in $rest; do assert_copied "$p"; done
e2e_assert_log_has 'tar xvfp /tmp/KanduInstall/LinuxppcTvnn.tar'

e2e_case "words after end_of_list on its line, and lines after the end line, are ignored"
run_list midline "disks $first end_of_list missing1
$rest
end_of_list
missing2
"
for p in $rest; do assert_copied "$p"; done
assert_not_copied missing1 missing2
e2e_assert_log_has 'tar xvfp /tmp/KanduInstall/LinuxppcTvnn.tar'

e2e_case "a list that does not name itself stops the run at the joining"
run_list noself "$ALL
end_of_list
"
e2e_assert_status 1
e2e_assert_stderr_is $'ERROR: can\'t open file, KanduInstall/disks\n'
assert_copied "$first"
e2e_assert_file_lacks "$E2E_LOG" 'tar xvfp'

e2e_case "no list at all"
run_list none -
e2e_assert_status 1
e2e_assert_stderr_is $'ERROR: can\'t open file, KanduInstall/disks\n'
e2e_assert_file_lacks "$E2E_LOG" 'cp -p'

e2e_case "a name that cannot stand in a command line stops the run before any copy"
run_list unsafe 'disks pkg_tar.aa;touch${IFS}/var/pwned
end_of_list
'
e2e_assert_status 1
e2e_assert_stderr_has "ERROR: unsafe name 'pkg_tar.aa;touch\${IFS}/var/pwned' in the list of $E2E_RUN_DIST: it contains the character ;"
e2e_assert_file_lacks "$E2E_LOG" 'cp -p'
e2e_assert_unchanged /var/pwned

e2e_case "a list longer than 4096 bytes: the name cut by the limit is dropped"
head="disks $ALL"
pad=$(printf '%*s' $((4096 - ${#head} - 6)) '')
run_list long "$head$pad pkg_tar.zz
end_of_list
"
e2e_assert_status 0
e2e_assert_log_has "is longer than 4096 bytes: its last, incomplete name 'pkg_t' is dropped"
assert_not_copied pkg_t
assert_installed

e2e_case "a host without /usr/bin/uncompress decompresses with gzip"
run_list nouncompress "disks $ALL
end_of_list
" --prepare 'rm -f /usr/bin/uncompress'
e2e_assert_status 0
e2e_assert_log_has "replaced with /tmp/KanduInstall/LinuxppcTvnn.tar"
assert_installed

e2e_finish
