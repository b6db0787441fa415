# standin.sh - shared body of the sample product's stand-in programs: records how a
# program was started (arguments, directory, user, print environment, job data) and
# ends with status 0. Each stand-in sources it and runs under its own file name.
#
# The log is $KANDU_STANDIN_LOG, or /var/tmp/kandu-standins.log when that is unset.
# One line a record, "<program>\t<pid>\t<key>\t<value>", the keys in this order:
#   start <path it was started as>, arg <word> (one each, in order), cwd <dir>,
#   user <name>, env <NAME=value> (each print variable that is set), input <file or ->
#   followed by data <line> (at most 200 lines of each job file or of standard input),
#   stay <seconds>, exit 0.
# Tabs, line feeds and backslashes in a value are written \t, \n and \\.
# The extra first argument --stay SECONDS keeps the program running that long, so that
# tests can have it seen by the installer's running-process check.
# shellcheck shell=sh

standin_log=${KANDU_STANDIN_LOG:-/var/tmp/kandu-standins.log}
standin_name=${0##*/}
standin_text=""

# The variables that the queue scripts and launchers hand to the suite's programs.
standin_vars="TavloPrinter TavloQueue TavloTitle TavloCopies TavloUser_name TavloRequest_id
TavloOption_list TavloFileSourceDir TavloHost_name PRINTER SPOOL_DIR UserName Title
OptionList OptList DISPLAY PANGO_RC_FILE GTK_IM_MODULE_FILE GDK_PIXBUF_MODULE_FILE"

# Adds the record KEY VALUE.
standin_add() {
  standin_text="$standin_text$(printf '%s' "$2" | awk -v p="$standin_name" -v pid=$$ -v k="$1" '
    { gsub(/\\/, "\\\\"); gsub(/\t/, "\\t"); v = (NR > 1 ? v "\\n" : "") $0 }
    END { printf "%s\t%s\t%s\t%s", p, pid, k, v }')
"
}

# Adds the records of one job source: input, then its first 200 lines as data.
standin_add_data() {
  standin_add input "$1"
  standin_text="$standin_text$(if [ "$1" = - ]; then cat; else cat -- "$1"; fi | awk -v p="$standin_name" -v pid=$$ '
    NR <= 200 { gsub(/\\/, "\\\\"); gsub(/\t/, "\\t"); printf "%s\t%s\tdata\t%s\n", p, pid, $0 }')
"
}

# Records the start: the arguments, where and as whom, the print environment and the
# job data in the arguments that name files. With standin_reads_stdin=1 and no such
# file, standard input (when it is no terminal) is the job.
standin_record() {
  standin_add start "$0"
  for a in "$@"; do
    standin_add arg "$a"
  done
  standin_add cwd "$(pwd)"
  standin_add user "$(id -un 2>/dev/null || id -u)"
  for v in $standin_vars; do
    eval "[ \"\${$v+set}\" = set ]" && eval "standin_add env \"$v=\$$v\""
  done
  files=0
  for a in "$@"; do
    [ -f "$a" ] || continue
    standin_add_data "$a"
    files=$((files + 1))
  done
  if [ "${standin_reads_stdin:-0}" = 1 ] && [ $files = 0 ] && [ ! -t 0 ]; then
    standin_add_data -
  fi
}

# Writes the records in one piece, stays when asked to, and ends with status 0.
standin_end() {
  if [ "${1:-}" = --stay ]; then
    standin_add stay "${2:-0}"
    printf '%s' "$standin_text" >>"$standin_log"
    standin_text=""
    sleep "${2:-0}"
  fi
  standin_add exit 0
  printf '%s' "$standin_text" >>"$standin_log"
  exit 0
}
