#!/bin/bash
# setup_cmdline.sh - the installer's command line in the sandbox: -v, where each form
# puts the work area and the product, work-area bases it makes, unsafe paths, and the
# language chosen from LANG.
#   tests/e2e/setup_cmdline.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"


# The work area the last run copied the distribution into.
assert_work_area() {
  e2e_assert_log_has "cp -p $E2E_DIST/disks $1"$'\n'
  e2e_assert_log_has "rm -rf  $1"
}

# ---------------------------------------------------------------------------------
e2e_case "-v"
e2e_run_setup -- -v
e2e_assert_status 0
e2e_assert_stderr_is $'setup 4.10.05\n'
e2e_assert_stdout_is ""
e2e_assert_nothing_changed

e2e_case "a base before -v is made first"
e2e_run_setup -- /var/w -v
e2e_assert_status 0
e2e_assert_stderr_is $'setup 4.10.05\n'
e2e_assert_change created /var/w dir

e2e_case "-v under another program name"
e2e_run_setup --prepare 'cp setup /opt/inst' --invoke /opt/inst -- -v
e2e_assert_stderr_is $'inst 4.10.05\n'

e2e_case "setup install (no further word) is setup"
e2e_run_setup -- install
e2e_assert_status 0
assert_work_area /tmp/KanduInstall
e2e_assert_change created /usr/Kandu/tvnn dir 0755

e2e_case "setup /var/tmp/: one trailing slash dropped"
e2e_run_setup -- /var/tmp/
e2e_assert_status 0
assert_work_area /var/tmp/KanduInstall
e2e_assert_change created /usr/Kandu/tvnn dir 0755
e2e_assert_unchanged /var/tmp/KanduInstall

e2e_case "setup BASE DIR: the second word is the installation directory"
e2e_run_setup -- /var/tmp /opt
e2e_assert_status 0
assert_work_area /var/tmp/KanduInstall
e2e_assert_change created /opt/Kandu/tvnn dir 0775

for form in "/var/tmp install /opt" "install /opt /var/tmp"; do
  e2e_case "setup $form"
  # shellcheck disable=SC2086
  e2e_run_setup -- $form
  e2e_assert_status 0
  assert_work_area /var/tmp/KanduInstall
  e2e_assert_change created /usr/Kandu/tvnn link - - - /opt/Kandu/tvnn
done

e2e_case "setup /var/a /opt /var/c: the third word is a base again"
e2e_run_setup -- /var/a /opt /var/c
e2e_assert_status 0
assert_work_area /var/c/KanduInstall
e2e_assert_change created /opt/Kandu/tvnn dir 0775
e2e_assert_log_has 'mkdir -p /var/a' 'removed the empty work-area base /var/a'
e2e_assert_unchanged /var/a /var/c

e2e_case "a missing base is made with its parents and removed again when empty"
e2e_run_setup -- /var/nonexistent/dir
e2e_assert_status 0
e2e_assert_log_has 'mkdir -p /var/nonexistent/dir'
assert_work_area /var/nonexistent/dir/KanduInstall
e2e_assert_log_has 'removed the empty work-area base /var/nonexistent/dir' \
  'removed the empty work-area base /var/nonexistent'
e2e_assert_unchanged /var/nonexistent

e2e_case "a base that cannot be made"
e2e_run_setup --prepare 'touch /var/file' -- /var/file/x
e2e_assert_status 1
e2e_assert_stdout_has 'ERROR: '
e2e_assert_log_has 'mkdir -p /var/file/x'
e2e_assert_unchanged /var/file

e2e_case "a relative base counts from the distribution folder"
rm -rf "$SAMPLE/work"
e2e_run_setup -- work
e2e_assert_status 0
assert_work_area "$SAMPLE/work/KanduInstall"
[ ! -e "$SAMPLE/work" ] && e2e_pass "the made base is gone" || e2e_fail "$SAMPLE/work stays"

# ---------------------------------------------------------------------------------
e2e_case "unsafe work-area base"
e2e_run_setup -- '/var/tmp/a b'
e2e_assert_status 2
e2e_assert_stderr_is "ERROR: unsafe work-area base '/var/tmp/a b': it contains a blank; a path may hold only letters, digits and / . _ - + , : @"$'\n'
e2e_assert_stdout_is ""
e2e_assert_nothing_changed

e2e_case "unsafe installation directory, after a base that would be made"
e2e_run_setup -- /var/new install '/opt/x;touch /var/pwned'
e2e_assert_status 2
e2e_assert_stderr_has "ERROR: unsafe installation directory '/opt/x;touch /var/pwned': it contains the character ;"
e2e_assert_nothing_changed

for word in '/opt/$(touch /var/pwned)' '/opt/`id`' '/opt/a"b' "/opt/a'b" '/opt/a|b' '/opt/a&b' \
  '/opt/a>b' '/opt/*' '/opt/~x' $'/opt/a\tb' $'/opt/a\nb'; do
  e2e_case "unsafe installation directory $(printf '%q' "$word")"
  e2e_run_setup -- install "$word"
  e2e_assert_status 2
  e2e_assert_stderr_has "ERROR: unsafe installation directory"
  e2e_assert_nothing_changed
done

e2e_case "an installation directory longer than 256 characters"
e2e_run_setup -- install "/opt/$(printf 'x%.0s' {1..260})"
e2e_assert_status 2
e2e_assert_stderr_has "it is longer than 256 characters"
e2e_assert_nothing_changed

e2e_case "accepted punctuation"
e2e_run_setup -- /var/w_1.a+b,c:d@e-f install /opt/i_1.a+b,c:d@e-f
e2e_assert_status 0
e2e_assert_change created /opt/i_1.a+b,c:d@e-f/Kandu/tvnn dir 0775

e2e_case "an installer directory with a blank"
rm -rf "$E2E_SCRATCH/my dist"
cp -a "$SAMPLE" "$E2E_SCRATCH/my dist"
e2e_run_setup --dist "$E2E_SCRATCH/my dist" --
e2e_assert_status 2
e2e_assert_stderr_has "ERROR: unsafe installer directory '$E2E_SCRATCH/my dist': it contains a blank"
e2e_assert_nothing_changed

e2e_case "a previous installation behind an unsafe link target"
e2e_run_setup --prepare 'mkdir -p "/opt/a b/Kandu/tvnn" /usr/Kandu && ln -s "/opt/a b/Kandu/tvnn" /usr/Kandu/tvnn' --
e2e_assert_status 2
e2e_assert_stderr_has "ERROR: unsafe previous installation '/opt/a b/Kandu/tvnn': it contains a blank"
e2e_assert_nothing_changed

# ---------------------------------------------------------------------------------
# The language: message 65, printed at once when isize is missing, in each table.
rm -rf "$E2E_SCRATCH/noisize"
cp -a "$SAMPLE" "$E2E_SCRATCH/noisize"
rm "$E2E_SCRATCH/noisize/isize"
ENGLISH="Could not determine how much space needed for install, missing isize."
# check_lang LANG TEXT ("-": LANG unset): the run prints TEXT.
check_lang() {
  local label=${1:-empty} opts=(--lang "$1")
  [ "$1" = - ] && label=unset opts=()
  e2e_case "LANG $label"
  e2e_run_setup --dist "$E2E_SCRATCH/noisize" "${opts[@]}" --
  e2e_assert_status 0
  e2e_assert_stdout_has "$2"
}
for lang in - "" C POSIX de_DE pt_BR EN_US es_ES@euro; do check_lang "$lang" "$ENGLISH"; done
check_lang fr_FR.ISO-8859-1 "isize manquant."
check_lang ge_GE "Der Platzbedarf der Installation kann nicht ermittelt werden, isize fehlt."
check_lang pr_BR "o foi poss"
check_lang es_ES "No se pudo determinar el espacio"
check_lang it_IT "manca isize."

e2e_case "commands started later see LANG without its code set"
fake_df=$(e2e_fake_tool df 'echo "$LANG" >>/tmp/lang.seen; exec /bin/df "$@"')
e2e_run_setup --lang fr_FR.ISO-8859-1 --tool "$fake_df" --tool "$(e2e_fake_tool whoami 'echo operator')" --
e2e_assert_status 0
e2e_assert_file_is "$E2E_STATE/tmp/lang.seen" $'fr_FR\nfr_FR\nfr_FR\n'
e2e_assert_stdout_has "operator"

e2e_finish
