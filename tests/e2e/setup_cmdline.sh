#!/bin/bash
# setup_cmdline.sh - the installer's command line in whole runs: -v, where each form puts
# the work area and the product, the bases a run makes and removes, unsafe names from the
# command line, the media and the package list refused before any change, and the
# language chosen from LANG.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

# The base's mkdir prints its dot; the log is named after the program.
e2e_case "-v under another program name, after a base, which is made first"
e2e_run_setup --prepare 'cp setup /opt/inst' --invoke /opt/inst -- /var/w -v
e2e_assert_eq "status, stdout, stderr" "$E2E_STATUS|$(cat "$E2E_STDOUT")|$(cat "$E2E_STDERR")" "0|.|inst 4.10.05"
e2e_assert_eq "changes" "$(cut -f1,2 "$E2E_REPORT")" $'created\t/tmp/inst.log\ncreated\t/var/w'

# form ARGS WORK PRODUCT [GONE...]: setup ARGS installs through the work area WORK (the
# distribution copied there, removed at the end) and creates the product's row; the
# bases the run made (GONE) are removed again.
form() {
  local args=$1 work=$2 product=$3
  shift 3
  e2e_case "setup $args"
  # shellcheck disable=SC2086
  e2e_run_setup --status 0 -- $args
  e2e_assert_log_has "cp -p $E2E_DIST/disks $work"$'\n' "rm -rf  $work"
  # shellcheck disable=SC2086
  e2e_assert_change created $product
  e2e_assert_unchanged "$work" "$@"
}
form install /tmp/KanduInstall "/usr/Kandu/tvnn dir 0755"
form "/var/tmp install /opt" /var/tmp/KanduInstall "/usr/Kandu/tvnn link - - - /opt/Kandu/tvnn"
form "/var/a /opt /var/c" /var/c/KanduInstall "/opt/Kandu/tvnn dir 0775" /var/a /var/c
form work "$SAMPLE/work/KanduInstall" "/usr/Kandu/tvnn dir 0755"
e2e_check "the relative base in the distribution folder is removed" test ! -e "$SAMPLE/work"
form "/var/w_1.a+b,c:d@e-f install /opt/i_1.a+b,c:d@e-f" /var/w_1.a+b,c:d@e-f/KanduInstall \
  "/opt/i_1.a+b,c:d@e-f/Kandu/tvnn dir 0775" /var/w_1.a+b,c:d@e-f

e2e_case "a base that cannot be made"
e2e_run_setup --status 1 --prepare 'touch /var/file' -- /var/file/x
e2e_assert_said "ERROR: "
e2e_assert_unchanged /var/file

# refused STATUS TEXT UNCHANGED [run options] -- ARGS: the run ends with STATUS, says
# TEXT (or logs it) and changes nothing but its log ("") or not the path UNCHANGED.
refused() {
  local status=$1 text=$2 unchanged=$3
  shift 3
  e2e_case "refused: $text"
  e2e_run_setup --status "$status" "$@"
  e2e_check "says or logs it" grep -qF -- "$text" "$E2E_STDOUT" "$E2E_STDERR" ${E2E_LOG:+"$E2E_LOG"}
  if [ -z "$unchanged" ]; then e2e_assert_nothing_changed; else e2e_assert_unchanged "$unchanged"; fi
}
e2e_spoil_dist unsafe-disks "$SAMPLE" 'rm SHA256SUMS; printf "disks pkg_tar.aa;touch\${IFS}/var/pwned\nend_of_list\n" >disks' >/dev/null
e2e_make_dist unsafe-words --product "$(e2e_spoil_dist unsafe-words-product "$E2E_ROOT/sample/pkg" \
  'printf "c tvadmin mode 755 bat ../sbin/evil bat .tvadmin\nnewdir a\"b mode 777\n" >>pkg.list')" --no-check >/dev/null
# One unsafe path in each role of the command line and of the host.
cp -a "$SAMPLE" "$E2E_SCRATCH/my dist"
refused 2 "unsafe work-area base '/var/tmp/a\tb': it contains a tab" "" --dist "$SAMPLE" -- $'/var/tmp/a\tb'
refused 2 "unsafe installation directory '/opt/x;touch /var/pwned'" "" --dist "$SAMPLE" -- install '/opt/x;touch /var/pwned'
refused 2 "unsafe installer directory '$E2E_SCRATCH/my dist': it contains a blank" "" --dist "$E2E_SCRATCH/my dist" --
refused 2 "unsafe previous installation '/opt/a b/Kandu/tvnn'" "" --dist "$SAMPLE" \
  --prepare 'mkdir -p "/opt/a b/Kandu/tvnn" /usr/Kandu && ln -s "/opt/a b/Kandu/tvnn" /usr/Kandu/tvnn' --
# The log of a program named "a b" is /tmp/a b.log; no command line may carry that name.
refused 2 "unsafe program name 'a b': it contains a blank" /tmp/a --dist "$SAMPLE" --prepare 'cp setup "/opt/a b"' \
  --invoke "/opt/a b" --
e2e_check "no b.log in the folder setup started in" test ! -e "$SAMPLE/b.log"
refused 1 "unsafe name 'pkg_tar.aa;touch\${IFS}/var/pwned' in the list of" /var/pwned --dist "$E2E_SCRATCH/dist/unsafe-disks" --
e2e_assert_log_lacks "cp -p"
refused 1 "not run: mkdir /usr/Kandu/tvnn/a\"b" /usr/Kandu/tvnn/a --dist "$E2E_SCRATCH/dist/unsafe-words" --
e2e_assert_log_has "launcher name '../sbin/evil' refused" "launcher name '.tvadmin' refused"
e2e_assert_unchanged /usr/sbin/evil /usr/bin/.tvadmin

# The language: message 65, printed at once when isize is missing, from the table LANG
# chooses by its code or its language part (English for an unknown one).
e2e_spoil_dist noisize "$SAMPLE" 'rm isize SHA256SUMS' >/dev/null
for row in "LANG=fr_FR.ISO-8859-1|isize manquant." "LANG=de_DE|isize fehlt." \
  "LANG=nl_NL|Could not determine how much space"; do
  e2e_case "language of ${row%%|*}"
  e2e_run_setup --dist "$E2E_SCRATCH/dist/noisize" --env "${row%%|*}" --
  e2e_assert_said "${row#*|}"
done

e2e_finish
