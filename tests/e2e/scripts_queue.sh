#!/bin/bash
# scripts_queue.sh - the flags file, the printconf link, and the installed queue
# scripts and launcher at work in the sandbox, run against the sample product's
# stand-in programs (print tool, driver, filter tool, AIX interface).
#   tests/e2e/scripts_queue.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

D=/usr/Kandu/tvnn
LPRNG_LPD=$(e2e_fake_tool lpd 'echo "lpd (LPRng-3.8.28) built for test" >&2')
RUNNING_CUPSD='cp /bin/sleep /opt/cupsd && (/opt/cupsd 60 </dev/null >/dev/null 2>&1 &)'

# The kept flags file of the last run is exactly TEXT.
assert_flags() {
  local kept
  kept=$(e2e_state_file $D/.tv_cfg) || { e2e_fail "no .tv_cfg"; return; }
  e2e_assert_file_is "$kept" "$1"
}

# The arguments of a stand-in's N-th start, one a line, are exactly TEXT.
assert_args() {
  local got
  got=$(e2e_standin_args "$1" "$2")
  [ "$got" = "$3" ] && e2e_pass "$1 start $2 arguments: ${3//$'\n'/ }" ||
    e2e_fail "$1 start $2 arguments: $(printf '%q' "$got"), expected $(printf '%q' "$3")"
}

# Runs shell commands in the sandbox after a first installation into /usr, with the
# flags file holding FLAGS (the word "none" removes it).
run_installed() {
  local flags=$1 cmds=$2 set_flags
  if [ "$flags" = none ]; then
    set_flags="rm -f $D/.tv_cfg"
  else
    set_flags="printf '%s' '$flags' >$D/.tv_cfg"
  fi
  e2e_run_setup --prepare "$FIRST_USR" --prepare "$set_flags" \
    --prepare "printf 'job line\n' >/var/tmp/job" --invoke /bin/sh -- -c "$cmds"
}

# ---------------------------------------------------------------------------------
e2e_case "a host without LPRng and without cupsd: BSD, no printconf link"
e2e_run_setup --prepare 'mkdir -p /usr/share/printconf/util' --
e2e_assert_status 0
assert_flags " BSD "
e2e_assert_change created $D/.tv_cfg file 0644 root root
e2e_assert_unchanged /usr/share/printconf/util/KanduPrinttvnn

e2e_case "an LPRng host with the printconf folder gets LPRng and the link"
e2e_run_setup --tool "$LPRNG_LPD" lpd --prepare 'mkdir -p /usr/share/printconf/util' --
e2e_assert_status 0
assert_flags " LPRng "
e2e_assert_change created /usr/share/printconf/util/KanduPrinttvnn link - - - $D/KanduPrinttvnn
e2e_assert_log_has "ln  -s /usr/Kandu/tvnn/KanduPrinttvnn /usr/share/printconf/util/KanduPrinttvnn"

e2e_case "an LPRng host without the printconf folder: no link"
e2e_run_setup --tool "$LPRNG_LPD" lpd --
assert_flags " LPRng "
e2e_assert_unchanged /usr/share/printconf

e2e_case "a running cupsd wins over LPRng"
e2e_run_setup --tool "$LPRNG_LPD" lpd --prepare "$RUNNING_CUPSD" --
e2e_assert_status 0
assert_flags " CUPS "

e2e_case "an update rewrites the flags file and keeps an existing printconf entry"
e2e_run_setup --prepare "$FIRST_USR" --tool "$LPRNG_LPD" lpd \
  --prepare 'mkdir -p /usr/share/printconf/util && echo mine >/usr/share/printconf/util/KanduPrinttvnn' \
  --stdin y --
e2e_assert_status 0
assert_flags " LPRng "
e2e_assert_unchanged /usr/share/printconf/util/KanduPrinttvnn

# ---------------------------------------------------------------------------------
e2e_case "print queue script, V5: queue from the script's name, title cut, files from \$6"
run_installed " V5 " "ln -s $D/KanduPrinttvnn /var/tmp/lp1 && /var/tmp/lp1 lp1-7 joe 'report ###123' 2 nobanner /var/tmp/job"
e2e_assert_status 0
assert_args tvrtvnntty 1 $'-dlp1\n-i\n/var/tmp/job'
e2e_assert_standin tvrtvnntty env "TavloTitle=report " env "TavloPrinter=lp1" env "TavloRequest_id=lp1-7" \
  env "TavloCopies=2" cwd "$D" data "job line"

e2e_case "print queue script, BSD: the job on standard input, the queue from the folder"
run_installed " BSD " "mkdir -p /var/spool/lpd/lp2 && cd /var/spool/lpd/lp2 && $D/KanduPrinttvnn -w132 </var/tmp/job"
e2e_assert_status 0
assert_args tvrtvnntty 1 $'-dlp2\n-f'
e2e_assert_standin tvrtvnntty cwd /var/spool/lpd/lp2 data "job line"
e2e_assert_change created /var/spool/lpd/lp2/tavlotvnn.log file

e2e_case "print queue script, LPRng: options and full paths of the job files"
run_installed " LPRng " "cd /var/tmp && $D/KanduPrinttvnn -Plp3 -d/var/spool/lpd/lp3 -edfA001,dfB002 -Zduplex,a4 -njoe -hhost1"
e2e_assert_status 0
assert_args tvrtvnntty 1 $'-dlp3\n-f\n-oduplex\n-oa4\n/var/spool/lpd/lp3/dfA001\n/var/spool/lpd/lp3/dfB002'
e2e_assert_standin tvrtvnntty env "TavloFileSourceDir=/var/tmp"

e2e_case "print queue script, CUPS and AIX; ' BSD  CUPS ' is CUPS"
run_installed " BSD  CUPS " "PRINTER=laser $D/KanduPrinttvnn 9 ann 'report ###1' 1 media=A4 /var/tmp/job &&
  printf ' AIX ' >$D/.tv_cfg && $D/KanduPrinttvnn -Pq one two"
e2e_assert_status 0
assert_args tvrtvnntty 1 $'-dlaser\n-i\n/var/tmp/job'
e2e_assert_standin tvrtvnntty env "TavloTitle=report ###1"
assert_args AixInterface 1 $'-Pq\none\ntwo'
e2e_assert_standin AixInterface cwd "$D"

e2e_case "without a flags file, or with an unknown word, the scripts take V5"
run_installed none "ln -s $D/KanduPrinttvnn /var/tmp/lp1 && /var/tmp/lp1 1 u t 1 o &&
  printf ' LPD ' >$D/.tv_cfg && /var/tmp/lp1 2 u t 1 o"
e2e_assert_status 0
assert_args tvrtvnntty 1 $'-dlp1\n-i'
assert_args tvrtvnntty 2 $'-dlp1\n-i'

# ---------------------------------------------------------------------------------
e2e_case "driver queue script, V5, CUPS, LPRng and AIX"
run_installed " V5 " "ln -s $D/v4DriverScript /var/tmp/lp1 && /var/tmp/lp1 lp1-9 joe@host 'report ###1' 2 duplex /var/tmp/job &&
  printf ' CUPS ' >$D/.tv_cfg && PRINTER=laser $D/v4DriverScript 7 ann t 1 'media=\"A4\" sides=two' /var/tmp/job &&
  printf ' LPRng ' >$D/.tv_cfg && $D/v4DriverScript -Plp3 -d/sp/lp3 -edfA1 -Za4 -njoe -hh &&
  printf ' AIX ' >$D/.tv_cfg && $D/v4DriverScript x y"
e2e_assert_status 0
assert_args driver 1 $'-dlp1\n-ujoe\n-t\nreport\n-t\n/var/tmp/job'
e2e_assert_standin driver env "DISPLAY=:0.0" env "TavloRequest_id=-o JobID=lp1-9"
assert_args driver 2 $'-dlaser\n-o\nmedia=A4\n-o\nsides=two\n/var/tmp/job'
assert_args driver 3 $'-dlp3\n-oa4\n/sp/lp3/dfA1'
assert_args driver 4 $'-f\nAIX\nx\ny'
e2e_assert_standin driver env "PANGO_RC_FILE=$D/lib/gtk/modules/etc/pango/pangorc"

# ---------------------------------------------------------------------------------
e2e_case "filter-tool queue script, BSD: standard input through a job file it removes"
run_installed " BSD " "mkdir -p /var/spool/lpd/lp2 /var/spool/Kandu/tvnn/lp2 && cd /var/spool/lpd/lp2 && $D/KanduQMF </var/tmp/job"
e2e_assert_status 0
job=$(e2e_standin_args qmf 1)
[[ "$job" == /var/spool/Kandu/tvnn/lp2/lp2.* ]] && e2e_pass "job file $job" || e2e_fail "job file '$job'"
e2e_assert_standin qmf data "job line"
[ -z "$(e2e_report_paths created /var/spool/Kandu/tvnn/lp2/lp2.)" ] &&
  e2e_pass "the job file is removed" || e2e_fail "job file left: $(e2e_report_paths created /var/spool/Kandu/tvnn/lp2/)"

e2e_case "filter-tool queue script, LPRng, V5 and CUPS"
run_installed " LPRng " "mkdir -p /var/spool/lpd/lp3 && cd /var/spool/lpd/lp3 && $D/KanduQMF -Plp3 -f /var/tmp/job -Jt -f /var/tmp/job2 &&
  printf ' V5 ' >$D/.tv_cfg && ln -s $D/KanduQMF /var/tmp/lp1 && /var/tmp/lp1 3 joe t 1 o /var/tmp/job &&
  printf ' CUPS ' >$D/.tv_cfg && PRINTER=laser $D/KanduQMF 4 ann t 1 o /var/tmp/job"
e2e_assert_status 0
assert_args qmf 1 $'/var/tmp/job\n/var/tmp/job2'
assert_args qmf 2 $'/var/tmp/job'
e2e_assert_standin qmf env "TavloPrinter=lp1"
assert_args qmf 3 $'/var/tmp/job'
e2e_assert_standin qmf env "TavloPrinter=laser"
[ "$(e2e_standin_count qmf)" = 3 ] && e2e_pass "qmf started once a job (it ends with 0)" ||
  e2e_fail "qmf started $(e2e_standin_count qmf) times"

# ---------------------------------------------------------------------------------
e2e_case "the launcher records where it was started and runs the tool with its arguments"
run_installed " BSD " "mkdir -p /var/tmp/u && cd /var/tmp/u && /usr/bin/tvadmin a b"
e2e_assert_status 0
assert_args tvadmin 1 $'a\nb'
e2e_assert_standin tvadmin cwd "$D" env "TavloFileSourceDir=/var/tmp/u"

e2e_finish
