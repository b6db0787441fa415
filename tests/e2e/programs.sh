#!/bin/bash
# programs.sh - the conventions every program of the library keeps, one row a program and
# option: --help, --version, errors as "PROGRAM: FILE: reason", "-" for standard input;
# and menu's split of screen (terminal, else standard error) and values (standard output).
#   tests/e2e/programs.sh BUILD_DIR
set -uo pipefail

. "$(dirname "$0")/lib.sh"
e2e_tool_suite menu "$@"
bin=$build/bin
for p in ttyhelp xdb nlscompile; do [ -x "$bin/$p" ] || e2e_skip "$bin/$p is not built"; done
s=$(mktemp -d "${TMPDIR:-/tmp}/e2e-programs.XXXXXX")
trap 'rm -rf "$s"' EXIT
cd "$s" || exit 1
E2E_STDOUT=$s/out E2E_STDERR=$s/err
version=$(sed -n 's/^project(KanduSetup VERSION \([^ ]*\) .*/\1/p' "$root/CMakeLists.txt")

# Inputs: a menu description, a help page, a catalogue source, a record dump.
printf 'title Queue\nchoice PAPER Paper\n  states A4,Letter\ninteger COPIES Copies\n  default 2\n' >q.menu
printf '<html><body>\nOne page\n</body></html>\n' >p.html
printf '1 1 "hello"\n' >c.msg
"$bin/xdb" put r.xdb k v && "$bin/xdb" dump r.xdb >r.dump && rm r.xdb
mkdir adir

# row STATUS STDOUT STDERR STDIN PROGRAM ARGS...: runs PROGRAM with ARGS and STDIN as
# standard input; checks the status, that standard output holds STDOUT ("" for empty)
# and standard error STDERR ("" for empty).
row() {
  local status=$1 out=$2 err=$3 in=$4 prog=$5
  shift 5
  e2e_case "$prog $*"
  "$bin/$prog" "$@" <"$in" >"$s/out" 2>"$s/err"
  E2E_STATUS=$?
  e2e_assert_status "$status"
  if [ -z "$out" ]; then e2e_assert_eq "standard output" "$(cat "$s/out")" ""; else e2e_assert_file_has "$s/out" "$out"; fi
  if [ -z "$err" ]; then e2e_assert_eq "standard error" "$(cat "$s/err")" ""; else e2e_assert_file_has "$s/err" "$err"; fi
}

none="No such file or directory"
#   status stdout            stderr                         stdin     program    arguments
row 0 "usage: menu"         ""                               /dev/null menu       --help
row 0 "usage: ttyhelp"      ""                               /dev/null ttyhelp    --help
row 0 "usage: xdb"          ""                               /dev/null xdb        --help
row 0 "usage: nlscompile"   ""                               /dev/null nlscompile --help
row 0 "menu $version"       ""                               /dev/null menu       --version
row 0 "ttyhelp $version"    ""                               /dev/null ttyhelp    --version
row 0 "xdb $version"        ""                               /dev/null xdb        --version
row 0 "nlscompile $version" ""                               /dev/null nlscompile --version
row 2 ""                    "menu: gone.menu: $none"         /dev/null menu       -b gone.menu
row 1 ""                    "ttyhelp: gone.html: $none"      /dev/null ttyhelp    --dump gone.html
row 1 ""                    "xdb: gone.xdb: $none"           /dev/null xdb        list gone.xdb
row 1 ""                    "nlscompile: gone.msg: $none"    /dev/null nlscompile gone.msg tool en_US C
row 2 ""                    "menu: adir: Is a directory"     /dev/null menu       -b -s adir q.menu
row 1 ""                    "ttyhelp: $s/adir: Is a directory" /dev/null ttyhelp  "$s/adir"
row 1 ""                    "xdb: adir: Is a directory"      /dev/null xdb        get adir k
row 1 ""                    "nlscompile: adir: Is a directory" /dev/null nlscompile adir tool en_US C
row 0 "PAPER=A4"            ""                               q.menu    menu       -b -
row 0 "One page"            ""                               p.html    ttyhelp    --dump -
row 0 ""                    ""                               r.dump    xdb        load r.xdb -
row 0 ""                    ""                               c.msg     nlscompile - tool en_US C
e2e_assert_eq "the catalogue read from standard input" "$(head -c 7 tool/db/en_US/C.xdb)" "TXDBAA1"
e2e_assert_eq "the records read from standard input" "$("$bin/xdb" get r.xdb k)" "v"

# Without a terminal the menu is drawn on standard error; standard output holds only
# the values, so that values=$(menu q.menu) works. A pick list there is one state a line.
e2e_case "menu's screen and values apart"
printf '1\n2 7\n\ny\n' | "$bin/menu" q.menu >"$s/out" 2>"$s/err"
E2E_STATUS=$?
e2e_assert_status 0
e2e_assert_eq "only the values on standard output" "$(cat "$s/out")" $'PAPER=Letter\nCOPIES=7'
e2e_assert_file_has "$s/err" "Queue:" " 1) Paper . [2. Letter]"
printf 'multi FIN Finishing\n  states None,Staple,Punch\n' >>q.menu
printf '3\n2\nS\n\ny\n' | "$bin/menu" q.menu >"$s/out" 2>"$s/err"
E2E_STATUS=$?
e2e_assert_status 0
e2e_assert_file_has "$s/err" $'Finishing\n -> 1) None\n    2) Staple\n    3) Punch\n'
e2e_assert_eq "the values, the chosen state without its none" "$(tail -1 "$s/out")" "FIN=Staple"

# The bash completions: xdb's commands and record files, ttyhelp's options and pages.
e2e_case "bash completion"
. "$root/completion/xdb"
. "$root/completion/ttyhelp"
complete_words() {
  COMP_WORDS=("${@:2}") COMP_CWORD=$(($# - 2)) COMPREPLY=()
  "$1"
  echo "${COMPREPLY[*]}"
}
e2e_assert_eq "xdb de" "$(complete_words _xdb xdb de)" "delete delete-prefix"
e2e_assert_eq "xdb get --escaped r" "$(complete_words _xdb xdb get --escaped r)" "r.xdb"
e2e_assert_eq "ttyhelp --d" "$(complete_words _ttyhelp ttyhelp --d)" "--dump"
e2e_assert_eq "ttyhelp --links p" "$(complete_words _ttyhelp ttyhelp --links p)" "p.html"

e2e_finish
