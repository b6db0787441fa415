#!/bin/bash
# spooler_lib.sh - shared part of the spooler suites (spooler_cups.sh, spooler_lprng.sh,
# spooler_bsd.sh): the queue definitions that attach the installed queue scripts to a
# real print system, one sandbox session per print system with its Debian packages,
# and readers of what the suite's stand-in programs received.
#
# A spooler suite, run by CTest with the build folder:
#   . lib.sh; . spooler_lib.sh
#   my_scenario() { spooler_inside_start; ...; }      # runs inside the sandbox
#   [ "${1:-}" = --inside ] && { my_scenario; exit; }
#   SPOOLER_HOST_PATHS=(...); spooler_suite "$1" PACKAGE... # skips (77) without them
#   e2e_case ...; spooler_expect tvrtvnntty 1 arg $'-dtavlo\n-i\n...' env PRINTER=tavlo
#   spooler_finish "the daemon's files stayed in the sandbox"
#
# The session: /run and /dev get private layers (daemons put their sockets and pid files
# there), service starts are forbidden while packages install, the packages come from
# the project's cache of .deb files (downloaded once), and the daemon, setup and the
# spooler's clients run in a network namespace of their own. Run directly with a build
# folder, this file checks its own readers and that README.md shows the queue
# definitions the suites use.

# The product folder of an installation into /usr, and the fixed path that names the
# product wherever it is installed.
SPOOLER_D=/usr/Kandu/tvnn
# Inside the sandbox: the scenario's work folder (saved to the build tree at the end)
# and the stand-ins' log, their default one (the spoolers start filters with an
# environment of their own).
SPOOLER_W=/var/tmp/spooler
SPOOLER_STANDIN_LOG=/var/tmp/kandu-standins.log

# ---------------------------------------------------------------------------------
# The queue definitions, as README.md ("Attaching the queue scripts to a spooler")
# shows them to operators.

# CUPS: the PPD of a queue whose filter is SCRIPT (a file of the product folder).
spooler_cups_ppd() {
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

# CUPS: the command that attaches a queue to its PPD.
spooler_cups_lpadmin() {
  echo "lpadmin -p $1 -E -v file:///dev/null -P $2"
}

# LPRng: /etc/printcap with a queue for each script. filter_options replaces LPRng's
# default options (which it would add after options written into if=) by exactly the
# ones each script reads, in its order.
spooler_lprng_printcap() {
  cat <<EOF
tavlo:sd=/var/spool/lpd/tavlo:lp=/dev/null:sh:mx=0:filter_options=\$P \$d \$e \$Z \$n \$h:if=$SPOOLER_D/KanduPrinttvnn
tvdriver:sd=/var/spool/lpd/tvdriver:lp=/dev/null:sh:mx=0:filter_options=\$P \$d \$e \$Z \$n \$h:if=$SPOOLER_D/v4DriverScript
tvqmf:sd=/var/spool/lpd/tvqmf:lp=/dev/null:sh:mx=0:filter_options=\$f:if=$SPOOLER_D/KanduQMF
EOF
}

# BSD lpd: /etc/printcap; the spool folder of each queue carries the queue's name,
# except tavlo-lab's, which shows that the scripts take the folder's name.
spooler_bsd_printcap() {
  cat <<EOF
tavlo:lp=/dev/null:sd=/var/spool/lpd/tavlo:lf=/var/spool/lpd/tavlo/log:if=$SPOOLER_D/KanduPrinttvnn:mx#0:sh:
tvdriver:lp=/dev/null:sd=/var/spool/lpd/tvdriver:lf=/var/spool/lpd/tvdriver/log:if=$SPOOLER_D/v4DriverScript:mx#0:sh:
tvqmf:lp=/dev/null:sd=/var/spool/lpd/tvqmf:lf=/var/spool/lpd/tvqmf/log:if=$SPOOLER_D/KanduQMF:mx#0:sh:
lab:lp=/dev/null:sd=/var/spool/lpd/tavlo-lab:lf=/var/spool/lpd/tavlo-lab/log:if=$SPOOLER_D/KanduPrinttvnn:mx#0:sh:
EOF
}

# ---------------------------------------------------------------------------------
# Preparations of the session (tools/sandbox --prepare), in this order.

# A tmpfs over /run: sockets, pid files and the package scripts' notes stay in the
# sandbox, and no service manager is seen there.
SPOOLER_PREP_RUN='mount -t tmpfs -o mode=0755 spooler-run /run'

# An overlay over /dev with its upper layer in /run: BSD lpd makes its socket
# /dev/printer. The mounts below /dev (pts, shm, ...) are moved aside, covered and
# moved back.
SPOOLER_PREP_DEV=$(cat <<'EOF'
set -e
d=/run/spooler-dev
mkdir -p $d/lower $d/upper $d/work $d/sub
mount --bind /dev $d/lower
subs=$(awk '$5 ~ "^/dev/" { print $5 }' /proc/self/mountinfo)
i=0
for m in $subs; do i=$((i + 1)); mkdir -p $d/sub/$i; mount --move "$m" $d/sub/$i; done
mount -t overlay spooler-dev -o lowerdir=$d/lower,upperdir=$d/upper,workdir=$d/work /dev
i=0
for m in $subs; do i=$((i + 1)); mount --move $d/sub/$i "$m"; done
EOF
)

# The cache of .deb files: KANDU_DEB_CACHE, or .cache/debs in the source tree.
spooler_cache_dir() {
  echo "${KANDU_DEB_CACHE:-$E2E_ROOT/.cache/debs}"
}

# Installs the packages inside the sandbox (run as a preparation: spooler_lib.sh
# --packages CACHE PACKAGE...). The outcome goes to $SPOOLER_W/packages.status: "ok",
# "skip: REASON" (neither cached nor downloadable) or "fail: REASON"; apt's messages to
# $SPOOLER_W/apt.log. Versions are chosen by the machine's package lists, else by the
# lists kept in CACHE/lists, else by fresh lists fetched into CACHE/lists, so that
# stale machine lists cost one download, not one a run. Downloads and installs hold a
# lock on the cache, so suites that run at the same time take turns.
spooler_install_packages() {
  local cache=$1 status=$SPOOLER_W/packages.status log=$SPOOLER_W/apt.log
  shift
  mkdir -p "$SPOOLER_W"
  : >"$log"
  if ! command -v apt-get >/dev/null || ! command -v flock >/dev/null; then
    echo "skip: apt-get and flock are needed to install $* in the sandbox" >"$status"
    return 0
  fi
  mkdir -p "$cache/partial" || {
    echo "fail: cannot make the package cache $cache" >"$status"
    return 0
  }
  # No service may start while the packages install; the suite starts its daemon.
  printf '#!/bin/sh\n# spooler suite: no service starts in the sandbox\nexit 101\n' >/usr/sbin/policy-rc.d
  chmod 755 /usr/sbin/policy-rc.d
  export DEBIAN_FRONTEND=noninteractive
  local apt=(apt-get -y -q --no-install-recommends -o "Dir::Cache::Archives=$cache")
  local lists=$cache/lists try opt=() found=0
  for try in machine kept fresh; do
    case $try in
      machine) opt=() ;;
      kept)
        [ -d "$lists" ] || continue
        opt=(-o "Dir::State::Lists=$lists") ;;
      fresh)
        mkdir -p "$lists/partial"
        opt=(-o "Dir::State::Lists=$lists")
        flock "$cache/.lock" apt-get -q "${opt[@]}" update >>"$log" 2>&1 || continue ;;
    esac
    if flock "$cache/.lock" "${apt[@]}" "${opt[@]}" install --download-only "$@" >>"$log" 2>&1; then
      found=1
      break
    fi
  done
  if [ $found = 0 ]; then
    echo "skip: the Debian packages $* are neither in $cache nor downloadable ($(grep -E '^E:' "$log" | tail -n 1))" >"$status"
    return 0
  fi
  if ! flock "$cache/.lock" "${apt[@]}" "${opt[@]}" install "$@" >>"$log" 2>&1; then
    echo "fail: installing $* failed ($(grep -E '^E:' "$log" | tail -n 1))" >"$status"
    return 0
  fi
  echo ok >"$status"
}

# ---------------------------------------------------------------------------------
# The session, seen from the host.

# Runs the suite's scenario ("$0 --inside") in one sandbox session from the
# distribution folder, after the preparations and the packages. Sets E2E_RUN,
# E2E_STATUS, E2E_STDOUT, E2E_STDERR, SPOOLER_OUT (the scenario's saved work folder)
# and E2E_STANDINS (the stand-ins' log). Ends the suite as skipped when the packages
# cannot be had, as failed when the session could not run.
spooler_session() {
  local cache suite
  cache=$(spooler_cache_dir)
  suite=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
  [ "$(id -u)" = 0 ] ||
    e2e_skip "the spooler suites install packages and start print daemons in the sandbox, which needs root"
  case "$cache/" in
    /usr/* | /etc/* | /var/* | /opt/* | /tmp/*)
      echo "FAIL: the package cache $cache lies in a tree that the sandbox replaces" >&2
      exit 1 ;;
  esac
  E2E_RUN=$E2E_SCRATCH/session
  SPOOLER_OUT=$E2E_RUN/out
  E2E_STDOUT=$E2E_RUN/stdout
  E2E_STDERR=$E2E_RUN/stderr
  E2E_STANDINS=$SPOOLER_OUT/standins.log
  rm -rf "$E2E_RUN"
  mkdir -p "$SPOOLER_OUT"
  E2E_STATUS=0
  (cd "$E2E_DIST" && "$E2E_SANDBOX" --timeout 900 --prepare "$SPOOLER_PREP_RUN" \
    --prepare "$SPOOLER_PREP_DEV" \
    --prepare "/bin/bash '$E2E_ROOT/tests/e2e/spooler_lib.sh' --packages '$cache' $*" \
    -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb "SPOOLER_OUT=$SPOOLER_OUT" \
    unshare --net /bin/bash "$suite" --inside) </dev/null >"$E2E_STDOUT" 2>"$E2E_STDERR" || E2E_STATUS=$?
  case "$E2E_STATUS" in
    0) ;;
    77) e2e_skip "$(sed -n 's/^SKIPPED: //p' "$E2E_STDOUT" | head -n 1)" ;;
    *)
      echo "FAIL: the sandbox session ended with status $E2E_STATUS"
      tail -n 20 "$E2E_STDOUT" "$E2E_STDERR"
      [ -f "$SPOOLER_OUT/timeouts" ] && echo "waits that timed out:" && cat "$SPOOLER_OUT/timeouts"
      for f in "$SPOOLER_OUT"/*d.out "$SPOOLER_OUT/apt.log"; do
        [ -s "$f" ] && echo "--- $f" && tail -n 20 "$f"
      done
      exit 1 ;;
  esac
}

# The existence of each host path of SPOOLER_HOST_PATHS, one "path yes|no" a line:
# taken before and after the session, the two must be equal (the daemons' sockets and
# pid files stay inside).
spooler_host_paths() {
  local p
  for p in "${SPOOLER_HOST_PATHS[@]}"; do
    if [ -e "$p" ] || [ -L "$p" ]; then echo "$p yes"; else echo "$p no"; fi
  done
}

# The suite's start on the host: the sample distribution, the host paths noted, the
# session with the PACKAGES (SPOOLER_HOST_PATHS set by the suite). Sets OUT and D.
spooler_suite() {
  e2e_init_sample "$1"
  shift
  SPOOLER_HOST_BEFORE=$(spooler_host_paths)
  spooler_session "$@"
  OUT=$SPOOLER_OUT D=$SPOOLER_D
}

# The suite's end: the session's waits all ended in time (checked first, by the
# suite), the host paths are as before; then the count line.
spooler_assert_waits() {
  [ ! -s "$OUT/timeouts" ] && e2e_pass "every wait ended in time" ||
    e2e_fail "waits that timed out: $(cat "$OUT/timeouts")"
}

spooler_finish() {
  local after
  e2e_case "$1"
  after=$(spooler_host_paths)
  [ "$SPOOLER_HOST_BEFORE" = "$after" ] && e2e_pass "host paths as before: ${after//$'\n'/, }" ||
    e2e_fail "host paths changed: before ${SPOOLER_HOST_BEFORE//$'\n'/, }; after ${after//$'\n'/, }"
  e2e_finish
}

# ---------------------------------------------------------------------------------
# Inside the sandbox (the scenario runs as root in its own network namespace).

# Begins a scenario: ends it as skipped or failed when the packages did not install,
# brings the loopback up, makes the work folder and the stand-ins' log (writable by the
# spoolers' users) and saves the work folder to $SPOOLER_OUT when the scenario ends.
spooler_inside_start() {
  local st
  st=$(cat "$SPOOLER_W/packages.status" 2>/dev/null || echo "fail: the package step did not run")
  case "$st" in
    ok) ;;
    skip:*) echo "SKIPPED: ${st#skip: }"; exit 77 ;;
    *) echo "FAIL: ${st#fail: }"; cp "$SPOOLER_W/apt.log" "$SPOOLER_OUT/" 2>/dev/null; exit 3 ;;
  esac
  unset KANDU_STANDIN_LOG
  ip link set lo up 2>/dev/null || true
  : >"$SPOOLER_STANDIN_LOG"
  chmod 666 "$SPOOLER_STANDIN_LOG"
  trap spooler_save EXIT
}

spooler_save() {
  cp "$SPOOLER_STANDIN_LOG" "$SPOOLER_W/standins.log" 2>/dev/null
  cp /tmp/setup.log "$SPOOLER_W/setup.log" 2>/dev/null
  cp -a "$SPOOLER_W/." "$SPOOLER_OUT/"
}

# Runs setup from the distribution folder (the current one) with ARGUMENTS; its output
# and status go to $SPOOLER_W/setup-NAME.{out,status}.
spooler_setup() {
  local name=$1 st=0
  shift
  ./setup "$@" </dev/null >"$SPOOLER_W/setup-$name.out" 2>&1 || st=$?
  echo "$st" >"$SPOOLER_W/setup-$name.status"
  cp "$SPOOLER_D/.tv_cfg" "$SPOOLER_W/tv_cfg-$name" 2>/dev/null
}

# Writes the jobs' files into the work folder (job.txt, two lines; stdin.txt, one) and
# goes there.
spooler_job_files() {
  printf 'job line one\njob line two\n' >"$SPOOLER_W/job.txt"
  printf 'stdin line\n' >"$SPOOLER_W/stdin.txt"
  cd "$SPOOLER_W" || exit 3
}

# Waits until the shell condition holds, at most SECONDS; status 1 when it never did
# (noted in $SPOOLER_W/timeouts).
spooler_wait() {
  local secs=$1 cond=$2 n=0
  until eval "$cond"; do
    n=$((n + 1))
    if [ $n -gt $((secs * 10)) ]; then
      echo "$cond" >>"$SPOOLER_W/timeouts"
      return 1
    fi
    sleep 0.1
  done
}

# ---------------------------------------------------------------------------------
# What the stand-ins received (their log: "<program>\t<pid>\t<key>\t<value>", one
# start's records written in one piece).

# The values of KEY in the records of the N-th start of PROGRAM, one a line.
spooler_records() {
  [ -f "$E2E_STANDINS" ] || return 0
  awk -F'\t' -v prog="$1" -v n="$2" -v key="$3" '
    $1 == prog && $3 == "start" { seen++; if (seen == n) pid = $2; else if ($2 == pid) pid = "" }
    pid != "" && $1 == prog && $2 == pid && $3 == key { print $4 }' "$E2E_STANDINS"
}

# The values of KEY of the N-th start of PROGRAM are exactly the lines of TEXT ("" for
# none).
spooler_assert_records() {
  local prog=$1 n=$2 key=$3 want=$4 got
  got=$(spooler_records "$prog" "$n" "$key")
  if [ "$got" = "$want" ]; then
    e2e_pass "$prog start $n: $key ${want//$'\n'/ | }"
  else
    e2e_fail "$prog start $n: $key $(printf '%q' "$got"), expected $(printf '%q' "$want")"
  fi
}

# The environment of the N-th start of PROGRAM has NAME=VALUE ("NAME" alone: NAME is
# not set).
spooler_assert_env() {
  local prog=$1 n=$2 want=$3 got
  got=$(spooler_records "$prog" "$n" env | grep -E "^${want%%=*}=" || true)
  if [[ "$want" != *=* ]]; then
    [ -z "$got" ] && e2e_pass "$prog start $n: $want not set" ||
      e2e_fail "$prog start $n: $got, expected $want not set"
  elif [ "$got" = "$want" ]; then
    e2e_pass "$prog start $n: env $want"
  else
    e2e_fail "$prog start $n: env $(printf '%q' "${got:-${want%%=*} not set}"), expected $(printf '%q' "$want")"
  fi
}

# The N-th start of PROGRAM: each KEY VALUE pair as spooler_assert_records, "env
# NAME=VALUE" as spooler_assert_env.
spooler_expect() {
  local prog=$1 n=$2
  shift 2
  while [ $# -ge 2 ]; do
    if [ "$1" = env ]; then
      spooler_assert_env "$prog" "$n" "$2"
    else
      spooler_assert_records "$prog" "$n" "$1" "$2"
    fi
    shift 2
  done
}

# PROGRAM was started exactly N times.
spooler_assert_starts() {
  local got
  got=$(e2e_standin_count "$1")
  [ "$got" = "$2" ] && e2e_pass "$1 started $2 time(s)" || e2e_fail "$1 started $got time(s), expected $2"
}

# The argument N (0 is the queue name) that CUPS gave the first filter of job JOB, as
# its debug log records it ('[Job 1] argv[5]="..."').
spooler_cups_argv() {
  awk -v pre="[Job $2] argv[$3]=\"" '
    { i = index($0, pre) }
    i { v = substr($0, i + length(pre)); sub(/"$/, "", v); print v; exit }' "$1"
}

# ---------------------------------------------------------------------------------
# Run directly: the readers on made-up logs, and README.md against the definitions.
spooler_self_test() {
  e2e_init --no-sandbox "$1"
  local d=$E2E_SCRATCH/self readme=$E2E_ROOT/README.md text line
  mkdir -p "$d"
  E2E_STANDINS=$d/standins
  printf '%s\n' $'qmf\t7\tstart\t/q' $'qmf\t7\targ\t-a' $'tvrtvnntty\t8\tstart\t/t' \
    $'qmf\t7\tenv\tPRINTER=lp' $'qmf\t9\tstart\t/q' $'qmf\t9\targ\tb c' \
    $'qmf\t9\tenv\tPRINTER=x' $'qmf\t7\tstart\t/q' $'qmf\t7\targ\tthird' >"$E2E_STANDINS"
  printf '%s\n' 'D [06/Dec/2026:20:17:11 +0000] [Job 12] argv[3]="report ###1"' \
    'D [06/Dec/2026:20:17:11 +0000] [Job 1] argv[3]="other"' \
    'D [06/Dec/2026:20:17:11 +0000] [Job 1] argv[5]="a=1 b="' >"$d/error_log"

  local checks=(
    "1|spooler_assert_records qmf 1 arg -a" "0|spooler_assert_records qmf 1 arg ''"
    "1|spooler_assert_records qmf 2 arg 'b c'" "1|spooler_assert_records qmf 3 arg third"
    "1|spooler_assert_records qmf 4 arg ''" "1|spooler_assert_records tvrtvnntty 1 arg ''"
    "1|spooler_assert_env qmf 1 PRINTER=lp" "0|spooler_assert_env qmf 1 PRINTER=x"
    "1|spooler_assert_env qmf 3 PRINTER" "0|spooler_assert_env qmf 2 PRINTER"
    "1|spooler_assert_starts qmf 3" "0|spooler_assert_starts qmf 2"
    "1|spooler_expect qmf 2 arg 'b c' env PRINTER=x" "0|spooler_expect qmf 2 arg 'b c' env PRINTER=lp"
  )
  SELF_OK=0 SELF_BAD=0
  e2e_self_checks "${checks[@]}"
  [ "$(spooler_cups_argv "$d/error_log" 12 3)" = "report ###1" ] &&
    [ "$(spooler_cups_argv "$d/error_log" 1 5)" = "a=1 b=" ] && [ -z "$(spooler_cups_argv "$d/error_log" 2 3)" ]
  e2e_self_ok $? "spooler_cups_argv"

  # Every line of the definitions the suites use stands in README.md as it is.
  text=$(spooler_cups_ppd KanduPrinttvnn; spooler_cups_lpadmin tavlo tavlo.ppd
    spooler_lprng_printcap; spooler_bsd_printcap)
  while IFS= read -r line; do
    grep -qxF -- "$line" "$readme"
    e2e_self_ok $? "README.md lacks the line: $line"
  done <<<"$text"
  e2e_self_end
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    --packages)
      shift
      spooler_install_packages "$@"
      exit 0 ;;
    *)
      . "$(dirname "$0")/lib.sh"
      spooler_self_test "$@"
      exit ;;
  esac
fi
