#!/bin/bash
# spooler_cups.sh - the installed queue scripts as filters of real CUPS queues: cupsd
# runs in the sandbox (local socket only), setup installs the sample product, each
# script becomes a queue's filter through a PPD, jobs go in with lp, and the stand-ins
# show what the tools received (Debian packages cups, cups-client).
set -uo pipefail
. "$(dirname "$0")/lib.sh"

# The PPD of a queue whose filter is the product's script $1.
cups_ppd() {
  cat <<EOF
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TAVLO.PPD"
*Manufacturer: "Kandu"
*Product: "(Tavlo)"
*ModelName: "Kandu Tavlo queue"
*ShortNickName: "Kandu Tavlo queue"
*NickName: "Kandu Tavlo queue"
*cupsFilter: "*/* 0 $SPOOLER_D/$1"
*OpenUI *Duplex/Two-sided: PickOne
*DefaultDuplex: None
*Duplex None/Off: ""
*Duplex DuplexNoTumble/Long edge: ""
*Duplex DuplexTumble/Short edge: ""
*CloseUI: *Duplex
EOF
}

# Queue $1 with the PPD of script $2, attached as an operator would.
cups_queue() {
  cups_ppd "$2" >"$SPOOLER_W/$1.ppd"
  (cd "$SPOOLER_W" && lpadmin -p "$1" -E -v file:///dev/null -P "$1.ppd") >>"$SPOOLER_W/lpadmin.out" 2>&1 ||
    echo "$1" >>"$SPOOLER_W/lpadmin.failed"
}

# A job with lp on queue $1, waited for until CUPS holds no unfinished job there.
cups_job() {
  lp -d "$@" >>"$SPOOLER_W/lp.out" 2>&1
  spooler_wait 60 "[ -z \"\$(lpstat -o $1 2>/dev/null)\" ]"
}

RQ='/var/spool/cups/my jobs'

# Inside: cupsd (local socket, debug log of each filter's arguments, file: devices),
# setup, the queues and the jobs, numbered from 1 in this order.
if [ "${1:-}" = --inside ]; then
  spooler_inside_start
  sed -i -e '/^Listen /d' -e '/^Port /d' -e 's/^LogLevel .*/LogLevel debug/' /etc/cups/cupsd.conf
  echo 'Listen /run/cups/cups.sock' >>/etc/cups/cupsd.conf
  echo 'FileDevice Yes' >>/etc/cups/cups-files.conf
  echo "RequestRoot $RQ" >>/etc/cups/cups-files.conf  # each job's file has a blank in its name
  mkdir -p /run/cups
  spooler_daemon 'lpstat -r 2>/dev/null | grep -q "scheduler is running"' /usr/sbin/cupsd -f
  spooler_setup usr
  cups_queue tavlo KanduPrinttvnn
  cups_queue tvdriver v4DriverScript
  cups_queue tvqmf KanduQMF
  for q in tavlo tvdriver tvqmf; do
    cups_job $q -t 'report ###123' -n 2 -o sides=two-sided-long-edge "$W/job.txt"
    cups_job $q <"$W/stdin.txt"
  done
  # A first installation elsewhere than /usr: the product folder is left 775, from
  # which CUPS runs no filter; job 7 stays pending until the folder is made 755 and a
  # queue attached anew.
  rm -rf /usr/Kandu
  spooler_setup opt install /opt
  cups_queue optq KanduPrinttvnn
  lpstat -l -p optq >"$W/lpstat-optq.txt" 2>&1
  lp -d optq "$W/job.txt" >>"$W/lp.out" 2>&1
  sleep 3
  lpstat -o optq >"$W/pending-optq.txt" 2>&1
  chmod 755 /opt/Kandu/tvnn
  cups_queue optfix KanduPrinttvnn
  cups_job optfix "$W/job.txt"
  cp /var/log/cups/error_log "$W/error_log"
  exit 0
fi

SPOOLER_HOST_PATHS=(/run/cups /run/spooler-dev /etc/cups /var/spool/cups /usr/sbin/cupsd)
spooler_suite "${1:-}" cups cups-client
LOG=$OUT/error_log

# Argument $2 (0 is the queue) that CUPS gave the first filter of job $1 (its debug log).
argv() {
  awk -v pre="[Job $1] argv[$2]=\"" '{ i = index($0, pre) } i { v = substr($0, i + length(pre)); sub(/"$/, "", v); print v; exit }' "$LOG"
}

e2e_case "setup on a host where cupsd runs writes ' CUPS '; every queue attached; every job completed"
spooler_assert_setup usr " CUPS "
e2e_check "lpadmin attached every queue" test ! -e "$OUT/lpadmin.failed"
# CUPS ran the job's script, which exited with no errors, and completed the job.
for row in 1:KanduPrinttvnn 2:KanduPrinttvnn 3:v4DriverScript 4:v4DriverScript 5:KanduQMF 6:KanduQMF 8:KanduPrinttvnn; do
  j=${row%%:*}
  e2e_check "job $j: ${row#*:} exited with no errors" \
    grep -qE "\[Job $j\] PID [0-9]+ \($D/${row#*:}\) exited with no errors\.$" "$LOG"
  e2e_assert_file_has "$LOG" "[Job $j] Job completed."
done

# The spool folder has a blank in its name: each job file reaches the tools as one argument.
e2e_case "print queue script as a CUPS filter: lp with a file, then with standard input"
e2e_assert_start tvrtvnntty 1 arg "-dtavlo"$'\n-i\n'"$RQ/d00001-001" env "TavloPrinter=tavlo" \
  env "PRINTER=tavlo" env "TavloTitle=report ###123" env "TavloCopies=2" env "TavloUser_name=root" \
  env "TavloRequest_id=1" env "TavloOption_list=$(argv 1 5)" cwd $D user lp data "$SPOOLER_JOB"
e2e_check "the option list holds sides=two-sided-long-edge" grep -q ' sides=two-sided-long-edge ' <<<" $(argv 1 5) "
e2e_assert_start tvrtvnntty 2 arg "-dtavlo"$'\n-i\n'"$RQ/d00002-001" env "TavloTitle=$(argv 2 3)" \
  env "TavloCopies=1" data 'stdin line'

e2e_case "driver script as a CUPS filter: -d the queue, -o each option, the job's file"
opts=$(argv 3 5)
e2e_assert_start driver 1 arg "-dtvdriver$(printf '\n-o\n%s' ${opts//\"/})"$'\n'"$RQ/d00003-001" \
  env "DISPLAY=:0.0" env "PRINTER=tvdriver" cwd $D data "$SPOOLER_JOB"
e2e_assert_start driver 2 data 'stdin line'

e2e_case "filter-tool script as a CUPS filter: qmf once a job, with the print variables"
e2e_assert_start qmf 1 arg "$RQ/d00005-001" env "TavloPrinter=tvqmf" env "TavloTitle=report ###123" \
  env "TavloCopies=2" env "TavloRequest_id=5" env "TavloOption_list=$(argv 5 5)" cwd $D data "$SPOOLER_JOB"
e2e_assert_start qmf 2 arg "$RQ/d00006-001" data 'stdin line'
e2e_assert_eq "qmf starts" "$(e2e_standin_count qmf)" 2

# Documented mismatch: CUPS runs no filter from a folder its group may write.
e2e_case "a first installation into /opt (folder 775) cannot serve CUPS until the folder is 755"
spooler_assert_setup opt " CUPS "
e2e_assert_file_has "$OUT/lpstat-optq.txt" 'Directory "/usr/Kandu/tvnn" has insecure permissions (040775/uid=0/gid=0).'
e2e_assert_file_has "$OUT/pending-optq.txt" "optq-7 "
e2e_assert_file_lacks "$LOG" "[Job 7] Started filter"
e2e_assert_start tvrtvnntty 3 arg "-doptfix"$'\n-i\n'"$RQ/d00008-001" cwd /opt/Kandu/tvnn data "$SPOOLER_JOB"
e2e_assert_eq "tvrtvnntty starts" "$(e2e_standin_count tvrtvnntty)" 3

spooler_finish
