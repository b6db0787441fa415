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
option "--help prints the usage, touches nothing" 0 "usage: setup [BASE] [install DIR]" "" "" -- /var/w --help
option "-h anywhere" 0 "usage: setup [BASE] [install DIR]" "" "" -- install /opt -h
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
# the code set; the language comes from LANG (its six codes, else its language part).
e2e_spoil_dist noisize "$SAMPLE" 'rm isize SHA256SUMS' >/dev/null
for row in "LANG=fr_FR.UTF-8|Impossible de déterminer l'espace nécessaire à" \
  "LANG=pt_BR.utf8|Não foi possível" "LC_MESSAGES=it_IT.UTF-8 LANG=fr_FR|de déterminer" \
  "LC_ALL=C LANG=fr_FR.UTF-8|"$'de d\351terminer l\'espace n\351cessaire \340'; do
  e2e_case "setup's messages with ${row%%|*}"
  envs=()
  for assignment in ${row%%|*}; do envs+=(--env "$assignment"); done
  e2e_run_setup --dist "$E2E_SCRATCH/dist/noisize" "${envs[@]}" --
  e2e_assert_said "${row#*|}"
done
printf '<html><body>caf&eacute; &#233; d\351j\340</body></html>' >"$E2E_SCRATCH/page.html"
printf 'title Caf\351\nstring NAME Nom \340 mettre\n  default \351t\351\n' >"$E2E_SCRATCH/page.menu"
# in_sandbox ENV... -- COMMAND: the command with only the environment given, standard
# input empty.
in_sandbox() {
  local envs=()
  while [ "$1" != -- ]; do envs+=("$1"); shift; done
  shift
  "$E2E_SANDBOX" --timeout 60 -- env -i "KANDU_TOOL_PATH=$E2E_BUILD/share/tvnn" "${envs[@]}" "$@" </dev/null
}
for lang in C.UTF-8 C; do
  e2e_case "ttyhelp and menu with LANG=$lang"
  want=("café é déjà" "Café:" "Nom à mettre  [été]")
  [ $lang = C ] && want=($'caf\351 \351 d\351j\340' $'Caf\351:' $'Nom \340 mettre  [\351t\351]')
  e2e_assert_eq "a help page" "$(in_sandbox LANG=$lang -- "$E2E_BUILD/bin/ttyhelp" --dump "$E2E_SCRATCH/page.html")" \
    "${want[0]}"
  menu=$(in_sandbox LANG=$lang -- "$E2E_BUILD/bin/menu" "$E2E_SCRATCH/page.menu")
  e2e_check "a menu: its title and entry" eval '[[ $menu == *"${want[1]}"* && $menu == *"${want[2]}"* ]]'
done

e2e_finish
