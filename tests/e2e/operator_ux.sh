#!/bin/bash
# operator_ux.sh - what the operator sees at the edges of a run: options that are not
# options, how every run that installs nothing says why, and the log's place at the end.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

# option NAME STATUS STDOUT STDERR CHANGES -- ARGS: the first lines of standard output and
# error, and the paths the run created (the log included: "" when it was not touched).
option() {
  local name=$1 status=$2 out=$3 err=$4 changes=$5
  shift 6
  e2e_case "option: $name"
  e2e_run_setup -- "$@"
  e2e_assert_eq "status, first lines" "$E2E_STATUS|$(head -n 1 "$E2E_STDOUT")|$(head -n 1 "$E2E_STDERR")" \
    "$status|$out|$err"
  e2e_assert_eq "changes" "$(cut -f2 "$E2E_REPORT" | tr '\n' ' ')" "$changes"
}
option "--help anywhere prints the usage, touches nothing" 0 "usage: setup [BASE] [install DIR]" "" "" \
  -- /var/w --help -v
option "--version is -v" 0 "." "setup 4.10.05" "/tmp/setup.log /var/w " -- /var/w --version
option "an unknown option is refused before a base is made" 2 "" "setup: unknown option '--bogus'" "" \
  -- /var/w --bogus -v
e2e_assert_file_has "$E2E_STDERR" "usage: setup [BASE] [install DIR]"

# outcome NAME STATUS SAID [run options]: the run ends with STATUS, says SAID (on either
# stream) and ends its standard error with the log's place.
outcome() {
  local name=$1 status=$2 said=$3
  shift 3
  e2e_case "outcome: $name"
  e2e_run_setup "$@" --
  e2e_assert_status "$status"
  e2e_assert_said "$said"
  e2e_assert_eq "last line of stderr" "$(tail -n 1 "$E2E_STDERR")" "setup: see /tmp/setup.log"
}
outcome "n at the question" 0 "nothing installed: declined at the continue question" --stdin n \
  --prepare "$FIRST_USR"
outcome "the end of input at the question" 0 "nothing installed: end of input at the continue question" \
  --prepare "$FIRST_USR"
outcome "not enough space" 0 "nothing installed: not enough space in /usr" \
  --tool "$(e2e_fake_tool df 'printf "Filesystem 1K-blocks Used Available\nfull 1000 1000 0\n"')"
outcome "not root" 0 "nothing installed: not run by root" --tool "$(e2e_fake_tool whoami 'echo operator')"
outcome "quit while suite programs run" 0 "nothing installed: quit while suite programs run" --stdin 2 \
  --prepare "$FIRST_USR" --prepare 'cp /bin/sleep /opt/tvqadmin && (/opt/tvqadmin 60 </dev/null >/dev/null 2>&1 &)'
outcome "a failed fatal command names its command line" 1 "ERROR: command exited with status 3" \
  --tool "$(e2e_fake_tool tar 'exit 3')"
e2e_check "the command line follows" grep -qx '.*sh -c "/usr/sbin/tar xvfp /tmp/KanduInstall/LinuxppcTvnn.tar"' \
  <(grep -A1 -F "ERROR: command exited" "$E2E_STDOUT" | tail -n 1)

e2e_case "an installation ends without a reason line or the log's place"
e2e_run_setup --
e2e_assert_eq "status, stderr" "$E2E_STATUS|$(cat "$E2E_STDERR")" "0|"

# The terminal's encoding: the first of LC_ALL, LC_MESSAGES and LANG that is set names
# the code set; the language comes from LANG.
e2e_case "setup's messages in the terminal's encoding"
e2e_spoil_dist noisize "$SAMPLE" 'rm isize SHA256SUMS' >/dev/null
e2e_run_setup --dist "$E2E_SCRATCH/dist/noisize" --env LC_MESSAGES=it_IT.UTF-8 --env LANG=fr_FR --
e2e_assert_said "Impossible de déterminer l'espace nécessaire à"
printf '<html><body>caf&eacute; &#233; d\351j\340</body></html>' >"$E2E_SCRATCH/page.html"
printf 'title Caf\351\nstring NAME Nom \340 mettre\n  default \351t\351\n' >"$E2E_SCRATCH/page.menu"
# shown LANG: a help page, a menu's title and entry, and its value, as ttyhelp and menu
# write them (menu draws on standard error when there is no terminal, and writes the
# values on standard output).
shown() {
  local run=("$E2E_SANDBOX" --timeout 60 -- env -i "LANG=$1" "KANDU_TOOL_PATH=$E2E_BUILD/share/tvnn")
  "${run[@]}" "$E2E_BUILD/bin/ttyhelp" --dump "$E2E_SCRATCH/page.html" </dev/null
  printf '\ny\n' | "${run[@]}" "$E2E_BUILD/bin/menu" "$E2E_SCRATCH/page.menu" 2>"$E2E_SCRATCH/screen" >"$E2E_SCRATCH/values"
  LC_ALL=C grep -o -e 'Caf.*' -e 'Nom.*' "$E2E_SCRATCH/screen"
  cat "$E2E_SCRATCH/values"
}
e2e_case "ttyhelp and menu write their Latin-1 texts in the terminal's encoding"
e2e_assert_eq "LANG=C.UTF-8" "$(shown C.UTF-8)" $'café é déjà\nCafé:\nNom à mettre  [été]\nNAME=été'
e2e_assert_eq "LANG=C" "$(shown C)" $'caf\351 \351 d\351j\340\nCaf\351:\nNom \340 mettre  [\351t\351]\nNAME=\351t\351'

e2e_finish
