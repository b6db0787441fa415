#!/bin/bash
# lib.sh - the harness of the end-to-end suites: distributions, runs of setup in the
# sandbox with their results, assertions, fault cases and print-system sessions.
#
# A suite (tests/e2e/<name>.sh, run by CTest with the build folder as its argument):
#   . "$(dirname "$0")/lib.sh"
#   e2e_init_sample "$1"                # the sample distribution -> $E2E_DIST
#   e2e_case "first installation"; e2e_run_setup -- install /usr; e2e_assert_status 0
#   e2e_finish                          # "N passed, N failed"; status 1 on a failure
# Results of the last run: E2E_RUN (its folder), E2E_STATUS, E2E_STDOUT, E2E_STDERR,
# E2E_LOG (its /tmp/setup.log, "" when none), E2E_REPORT (the sandbox's report),
# E2E_STATE (the kept layers, see tools/sandbox) and E2E_STANDINS (the log of the
# sample product's stand-in programs). E2E_SETUP names another installer.

E2E_PASSED=0 E2E_FAILED=0 E2E_CASE="" E2E_RUNS=0
# A preparation that makes a previous installation into /usr with the installer itself.
FIRST_USR='./setup </dev/null >/dev/null 2>&1'

# Sets E2E_ROOT, E2E_BUILD, E2E_SUITE and E2E_SCRATCH (a fresh folder of the build tree).
# Unless --no-sandbox is given, ends the suite as skipped when namespaces are unavailable.
e2e_init() {
  local need_sandbox=1 why
  [ "${1:-}" = --no-sandbox ] && need_sandbox=0 && shift
  [ -n "${1:-}" ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
  E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  E2E_BUILD=$(cd "$1" && pwd) || exit 2
  E2E_SUITE=$(basename "$0" .sh)
  E2E_SCRATCH=$E2E_BUILD/e2e-scratch/$E2E_SUITE
  E2E_SANDBOX=$E2E_ROOT/tools/sandbox
  E2E_SETUP=${E2E_SETUP:-$E2E_BUILD/bin/setup}
  rm -rf "$E2E_SCRATCH"
  mkdir -p "$E2E_SCRATCH"
  [ $need_sandbox = 0 ] || why=$("$E2E_SANDBOX" --check 2>&1) || e2e_skip "${why#sandbox: }"
}

# e2e_init, the installer (a failure when it is not built) and the sample distribution
# (further arguments go to e2e_make_dist): E2E_DIST and SAMPLE.
e2e_init_sample() {
  e2e_init "$1"
  [ -x "$E2E_SETUP" ] || { echo "FAIL: no installer at $E2E_SETUP: build the setup target first"; exit 1; }
  e2e_make_dist sample "${@:2}" >/dev/null || { echo "FAIL: mkdist"; exit 1; }
  SAMPLE=$E2E_DIST
}

# The start of a suite of a command-line tool: sets build, root and TOOL
# (<build>/bin/NAME), skips (77) when the tool is not built, and runs the suite again in
# the sandbox (bare when namespaces are unavailable).
e2e_tool_suite() {
  local name=$1
  shift
  build=$(cd "${1:?usage: $name.sh BUILD_DIR}" && pwd) || exit 2
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  TOOL=$build/bin/$name
  [ -x "$TOOL" ] || { echo "SKIP: $TOOL is not built"; exit 77; }
  if [ -z "${KANDU_SANDBOX:-}" ] && [ -z "${KANDU_NO_SANDBOX:-}" ]; then
    exec "$root/tools/sandbox" --or-bare --timeout 600 -- "$0" "$@"
  fi
}

e2e_skip() { echo "SKIPPED: $*"; exit 77; }
e2e_case() { E2E_CASE=$1; echo "== $1"; }
e2e_pass() { E2E_PASSED=$((E2E_PASSED + 1)); echo "  ok: $*"; }
e2e_fail() { E2E_FAILED=$((E2E_FAILED + 1)); echo "  FAIL${E2E_CASE:+ [$E2E_CASE]}: $*"; }
e2e_finish() {
  echo "$E2E_PASSED passed, $E2E_FAILED failed"
  [ "$E2E_FAILED" = 0 ]
  exit
}

# Passes when the command (the words after DESCRIPTION) succeeds.
e2e_check() {
  local what=$1
  shift
  if "$@"; then e2e_pass "$what"; else e2e_fail "$what"; fi
}

# ---------------------------------------------------------------------------------
# Distributions and fake host tools

# NAME [--product DIR] [MKDIST OPTIONS]: builds a distribution of the sample (or DIR) with
# tools/mkdist into $E2E_SCRATCH/dist/NAME (E2E_DIST). It carries $E2E_SETUP unless the
# options name another installer.
e2e_make_dist() {
  local product=$E2E_ROOT/sample/pkg
  E2E_DIST=$E2E_SCRATCH/dist/$1
  shift
  [ "${1:-}" = --product ] && product=$2 && shift 2
  rm -rf "$E2E_DIST"
  mkdir -p "$E2E_SCRATCH/dist"
  "$E2E_ROOT/tools/mkdist" --setup "$E2E_SETUP" "$@" "$product" "$E2E_DIST"
}

# A copy NAME of the distribution (or product) FROM, spoilt by shell CODE run in it;
# prints its path.
e2e_spoil_dist() {
  local dir=$E2E_SCRATCH/dist/$1
  rm -rf "$dir"
  cp -a "$2" "$dir"
  (cd "$dir" && eval "$3") || { echo "FAIL: spoiling $1" >&2; exit 1; }
  echo "$dir"
}

# Writes a fake host tool NAME (/bin/sh with BODY) for e2e_run_setup --tool; prints its path.
e2e_fake_tool() {
  local dir=$E2E_SCRATCH/fake-tools
  mkdir -p "$dir"
  printf '#!/bin/sh\n%s\n' "$2" >"$dir/$1"
  chmod 755 "$dir/$1"
  echo "$dir/$1"
}

# ---------------------------------------------------------------------------------
# Running the installer

# Runs setup in the sandbox from a distribution folder and captures what it did. Options:
#   --dist DIR, --name NAME (the capture folder, default run-N), --stdin TEXT (a line
#   feed is added; without it standard input is empty), --env NAME=VALUE, --invoke PATH
#   (how setup is called, default ./setup), --status N (asserts the exit status); the
#   other words before -- are preparations
#   for the sandbox (--tool FILE [NAME], --copy SRC DEST, --link TARGET LINK, --prepare).
# The words after -- are setup's arguments. The environment is PATH, HOME=/root,
# TERM=dumb, KANDU_SANDBOX=1, KANDU_STANDIN_LOG and the --env values. A sandbox that
# could not run counts as a failed assertion.
e2e_run_setup() {
  local dist=${E2E_DIST:-} name="" stdin=/dev/null invoke=./setup envs=() prep=() want=""
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    case "$1" in
      --dist) dist=$2; shift ;;
      --name) name=$2; shift ;;
      --stdin) stdin=$2$'\n'; shift ;;
      --env) [ -z "$2" ] || envs+=("$2"); shift ;;
      --invoke) invoke=$2; shift ;;
      --status) want=$2; shift ;;
      *) prep+=("$1") ;;
    esac
    shift
  done
  shift
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_RUN=$E2E_SCRATCH/runs/${name:-run-$E2E_RUNS}
  rm -rf "$E2E_RUN"
  mkdir -p "$E2E_RUN"
  [ "$stdin" = /dev/null ] || { printf '%s' "$stdin" >"$E2E_RUN/stdin"; stdin=$E2E_RUN/stdin; }
  E2E_STDOUT=$E2E_RUN/stdout E2E_STDERR=$E2E_RUN/stderr E2E_REPORT=$E2E_RUN/report.tsv
  E2E_STATE=$E2E_RUN/state E2E_STANDINS=$E2E_RUN/standins.log E2E_STATUS=0
  (cd "$dist" && "$E2E_SANDBOX" --timeout 300 --keep "$E2E_STATE" --report "$E2E_REPORT" "${prep[@]}" -- \
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb KANDU_SANDBOX=1 \
    "KANDU_STANDIN_LOG=$E2E_STANDINS" "${envs[@]}" "$invoke" "$@") \
    <"$stdin" >"$E2E_STDOUT" 2>"$E2E_STDERR" || E2E_STATUS=$?
  echo "$E2E_STATUS" >"$E2E_RUN/status"
  E2E_LOG=""
  [ -f "$E2E_STATE/tmp/setup.log" ] && E2E_LOG=$E2E_RUN/setup.log && cp "$E2E_STATE/tmp/setup.log" "$E2E_LOG"
  [ "$E2E_STATUS" != 125 ] || e2e_fail "the sandbox could not run setup: $(tail -n 3 "$E2E_STDERR")"
  [ -z "$want" ] || e2e_assert_status "$want"
}

# ---------------------------------------------------------------------------------
# Assertions: each counts as passed or failed and says which.

e2e_assert_status() {
  [ "$E2E_STATUS" = "$1" ] && e2e_pass "exit status $1" ||
    e2e_fail "exit status $E2E_STATUS, expected $1 (stderr: $(head -c 300 "$E2E_STDERR"))"
}

# DESCRIPTION GOT WANT: a value the suite computed is exactly the expected one.
e2e_assert_eq() {
  [ "$2" = "$3" ] && e2e_pass "$1" || e2e_fail "$1: got $(printf '%q' "$2"), expected $(printf '%q' "$3")"
}

# FILE TEXT...: the file holds each text (a fixed string, may span lines) / none of them
# (an existing file).
e2e_assert_file_has() {
  local t
  for t in "${@:2}"; do
    [ -f "$1" ] && [[ "$(cat "$1")" == *"$t"* ]] && e2e_pass "$1 has '$t'" || e2e_fail "$1 lacks '$t'"
  done
}
e2e_assert_file_lacks() {
  local t
  for t in "${@:2}"; do
    [ -f "$1" ] && [[ "$(cat "$1")" != *"$t"* ]] && e2e_pass "$1 lacks '$t'" || e2e_fail "$1 has '$t' (or is missing)"
  done
}

# The last run said each text on standard output or standard error.
e2e_assert_said() {
  cat "$E2E_STDOUT" "$E2E_STDERR" >"$E2E_RUN/said"
  e2e_assert_file_has "$E2E_RUN/said" "$@"
}

# The run's /tmp/setup.log holds each text / none of the texts.
e2e_assert_log_has() { e2e_assert_file_has "${E2E_LOG:-/nonexistent}" "$@"; }
e2e_assert_log_lacks() { e2e_assert_file_lacks "${E2E_LOG:-/nonexistent}" "$@"; }

# CHANGE PATH [TYPE MODE OWNER GROUP TARGET]: the report names the change of PATH and,
# where given, the fields ("-" skips one; for removals the state before).
e2e_assert_change() {
  e2e_assert_eq "$2" "$(awk -F'\t' -v p="$2" -v off="$([ "$1" = removed ] && echo 7 || echo 2)" -v w="${*:3}" '
    BEGIN { n = split(w, f, " ") }
    $2 == p { o = $1; for (i = 1; i <= n; i++) o = o " " (f[i] == "-" ? "-" : $(off + i)); print o }' "$E2E_REPORT")" \
    "$1${3:+ ${*:3}}"
}

# The report names none of the paths.
e2e_assert_unchanged() {
  local p
  for p; do e2e_assert_eq "$p unchanged" "$(awk -F'	' -v p="$p" '$2 == p' "$E2E_REPORT")" ""; done
}

# The last run changed nothing but its log.
e2e_assert_nothing_changed() { e2e_assert_eq "changes" "$(awk -F'\t' '$2 != "/tmp/setup.log"' "$E2E_REPORT")" ""; }

# ---------------------------------------------------------------------------------
# The stand-in programs of the sample product log each start (sample/pkg/standin.sh):
# lines "<program>\t<pid>\t<key>\t<value>", one start's records written in one piece.

# The values of KEY in the records of the N-th start of PROGRAM, one a line.
e2e_standin() {
  awk -F'\t' -v prog="$1" -v n="$2" -v key="$3" '
    $1 == prog && $3 == "start" { seen++; if (seen == n) pid = $2; else if ($2 == pid) pid = "" }
    pid != "" && $1 == prog && $2 == pid && $3 == key { print $4 }' "$E2E_STANDINS" 2>/dev/null
}

# How often PROGRAM was started.
e2e_standin_count() {
  awk -F'\t' -v prog="$1" '$1 == prog && $3 == "start" { n++ } END { print n + 0 }' "$E2E_STANDINS" 2>/dev/null ||
    echo 0
}

# PROGRAM N KEY VALUE...: the values of each KEY of the N-th start are exactly the lines
# of VALUE; for "env NAME=VALUE" the variable NAME has VALUE.
e2e_assert_start() {
  local prog=$1 n=$2 got
  shift 2
  while [ $# -ge 2 ]; do
    got=$(e2e_standin "$prog" "$n" "$1")
    [ "$1" = env ] && got=$(grep -E "^${2%%=*}=" <<<"$got")
    e2e_assert_eq "$prog start $n: $1 ${2//$'\n'/ | }" "$got" "$2"
    shift 2
  done
}

# ---------------------------------------------------------------------------------
# Fault cases: a whole installation with one fault, the check that it changed nothing
# outside the installer's places, and a second run without the fault that installs the
# whole product from what the first left. A case:
#   fault_case "cp fails"; FAULT_PREP=(--tool FILE cp)  # the fault, as e2e_run_setup options
#   FAULT_RUN='./setup'; FAULT_UNDO='rm -f /usr/sbin/cp'  # the faulty run; what undoes it
#   (FAULT_BEFORE: shell code that prepares the host before the fault, e.g. $FIRST_USR)
#   fault_try 1 "ERROR: command exited with status 1"     # its status and message
#   fault_done                                            # contained, second run, table row

# The places an installation may change: the product tree (in /usr and /opt), the spool
# tree, the targets of the sample's package list, the work area, the log and sed's file.
FAULT_ALLOWED=(/usr/Kandu /opt/Kandu /var/spool/Kandu /usr/bin/tvadmin /usr/bin/tavlo
  /usr/share/doc/KanduTavlo /etc/tavlo /tmp/KanduInstall /tmp/setup.log /tmp/setup.tmp)

# The second run's check of a whole installation below FAULT_D: a word for each part
# that is missing or wrong, nothing when the installation is complete.
FAULT_CHECK='D=$FAULT_D
for e in $D/qmf:4755 $D/tvrtvnntty:4755 /var/spool/Kandu/tvnn/__tva_download__:777 /usr/bin/tvadmin:755; do
  [ "$(stat -L -c %a ${e%:*} 2>/dev/null)" = ${e#*:} ] || echo "$e"; done
for f in .tv_cfg KanduPrinttvnn v4DriverScript KanduQMF tvqadmin TavloD tavlo.conf lib help; do [ -e "$D/$f" ] || echo "$f"; done
grep -q "@SPOOL@\|@HOST@" "$D/tavlo.conf" 2>/dev/null && echo "tavlo.conf-unedited"
[ -d /usr/Kandu/tvnn ] || echo "product-link"
[ -e "$FAULT_W" ] && echo "work-area-left"
true'

# Sets a fault suite up: e2e_init_sample, and the suite's rows of the fault
# table, <build>/faults/<suite>.tsv (tools/faults-table turns them into the table),
# headed by TITLE.
fault_init() {
  e2e_init_sample "$1"
  FAULT_DIST_DEFAULT=$E2E_DIST
  mkdir -p "$E2E_BUILD/faults"
  FAULT_TABLE=$E2E_BUILD/faults/$E2E_SUITE.tsv
  printf '#\t%s\n' "$2" >"$FAULT_TABLE"
}

# NAME [VAR=VALUE...]: starts a case with the defaults (the sample distribution, ./setup,
# a clean run that answers y, the installation checked in /usr/Kandu/tvnn, the work area
# in /tmp), then the settings given.
fault_case() {
  local a
  e2e_case "$1"
  FAULT_NAME=$1 FAULT_BEFORE="" FAULT_PREP=() FAULT_DIST=$FAULT_DIST_DEFAULT FAULT_RUN='./setup'
  FAULT_UNDO=':' FAULT_CLEAN='printf "y\n" | ./setup' FAULT_SEES="" FAULT_D=/usr/Kandu/tvnn
  FAULT_W=/tmp/KanduInstall FAULT_SLUG=$(printf '%s' "$1" | tr -c 'a-zA-Z0-9' '-' | tr -s '-' | cut -c1-60)
  for a in "${@:2}"; do printf -v "${a%%=*}" '%s' "${a#*=}"; done
}

# The faulty run (noting in /tmp/fault-work-left whether the work area stays, which the
# report cannot show outside the sandbox's trees) with its expected exit status and,
# when given, the message the operator sees (an ERROR or WARNING also in the log).
# Every run starts its log afresh, whatever ends it.
fault_try() {
  e2e_run_setup --status "$1" --dist "$FAULT_DIST" --name "$FAULT_SLUG-first" \
    ${FAULT_BEFORE:+--prepare "$FAULT_BEFORE"} "${FAULT_PREP[@]}" --invoke /bin/sh -- \
    -c "($FAULT_RUN); s=\$?; [ -e $FAULT_W ] && : >/tmp/fault-work-left; exit \$s"
  e2e_assert_eq "the log starts with the run" "$(head -n 1 "${E2E_LOG:-/dev/null}")" "initializing system"
  FAULT_SEES=${2:-}
  [ -z "$FAULT_SEES" ] || e2e_assert_said "$FAULT_SEES"
  case "$FAULT_SEES" in ERROR:*|WARNING:*) e2e_assert_log_has "$FAULT_SEES" ;; esac
}

# The end of a case: nothing changed outside the installer's places;
# the second run; the table row (what the user sees: SEES, else the message asserted).
fault_done() {
  local first=$E2E_RUN missing=""
  # /tmp/fault-* are the suite's own notes.
  e2e_assert_eq "changes outside the installer's places" "$(awk -F'\t' -v allowed="${FAULT_ALLOWED[*]}" '
    BEGIN { n = split(allowed, a, " ") }
    $2 !~ /^\/tmp\/fault-/ { for (i = 1; i <= n; i++) if ($2 == a[i] || index($2, a[i] "/") == 1) next; print $2 }' \
    "$E2E_REPORT")" ""
  printf '%s\n' "$FAULT_CHECK" >"$E2E_SCRATCH/check.sh"
  e2e_run_setup --dist "$FAULT_DIST" --name "$FAULT_SLUG-second" ${FAULT_BEFORE:+--prepare "$FAULT_BEFORE"} "${FAULT_PREP[@]}" \
    --env "FAULT_D=$FAULT_D" --env "FAULT_W=$FAULT_W" --copy "$E2E_SCRATCH/check.sh" /tmp/fault-check.sh \
    --prepare "($FAULT_RUN) </dev/null >/dev/null 2>&1; $FAULT_UNDO; true" --invoke /bin/sh -- \
    -c "($FAULT_CLEAN); s=\$?; sh /tmp/fault-check.sh >/tmp/fault-missing 2>&1; exit \$s"
  [ -f "$E2E_STATE/tmp/fault-missing" ] && missing=$(tr '\n' ' ' <"$E2E_STATE/tmp/fault-missing")
  e2e_assert_eq "the second run installs the whole product" "status $E2E_STATUS; missing: ${missing% }" \
    "status 0; missing: "
  printf '%s\t%s\t%s\t%s\n' "$FAULT_NAME" "${1:-${FAULT_SEES:-(nothing but the usual output)}}" "$first" \
    "$E2E_RUN" >>"$FAULT_TABLE"
}

# ---------------------------------------------------------------------------------
# Print-system sessions: one sandbox session runs the suite's scenario ("$0 --inside")
# with its Debian packages installed, /run on a tmpfs and /dev on an overlay (the daemons'
# sockets and pid files stay inside) and a network namespace of its own.

SPOOLER_D=/usr/Kandu/tvnn
# Inside: the scenario's work folder (saved to $SPOOLER_OUT at its end) and the stand-ins'
# default log (the print systems start filters with an environment of their own).
SPOOLER_W=/var/tmp/spooler
SPOOLER_STANDIN_LOG=/var/tmp/kandu-standins.log
# The job that every scenario prints, as a file and (its first line) on standard input.
SPOOLER_JOB=$'job line one\njob line two'
SPOOLER_PREP_RUN='mount -t tmpfs -o mode=0755 spooler-run /run'
# The mounts below /dev (pts, shm, ...) are moved aside, covered and moved back.
SPOOLER_PREP_DEV='set -e
d=/run/spooler-dev
mkdir -p $d/lower $d/upper $d/work $d/sub
mount --bind /dev $d/lower
subs=$(cut -d" " -f5 /proc/self/mountinfo | grep ^/dev/)
i=0
for m in $subs; do i=$((i + 1)); mkdir -p $d/sub/$i; mount --move "$m" $d/sub/$i; done
mount -t overlay spooler-dev -o lowerdir=$d/lower,upperdir=$d/upper,workdir=$d/work /dev
i=0
for m in $subs; do i=$((i + 1)); mount --move $d/sub/$i "$m"; done'

# Inside the sandbox, as a preparation (lib.sh --packages CACHE PACKAGE...): installs the
# packages from the cache of .deb files, with no service started. Versions come from the
# machine's package lists, else those kept in CACHE/lists, else fresh ones fetched there
# (so that stale machine lists cost one download, not one a run); downloads and installs
# take turns on a lock. The outcome goes to $SPOOLER_W/packages.status: "ok",
# "skip: REASON" or "fail: REASON"; apt's messages to $SPOOLER_W/apt.log.
spooler_install_packages() {
  local cache=$1 status=$SPOOLER_W/packages.status log=$SPOOLER_W/apt.log try opt
  shift
  mkdir -p "$SPOOLER_W" "$cache/partial" "$cache/lists/partial" ||
    { echo "fail: cannot make the package cache $cache" >"$status"; return; }
  printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d && chmod 755 /usr/sbin/policy-rc.d
  local apt=(flock "$cache/.lock" env DEBIAN_FRONTEND=noninteractive apt-get -y -q --no-install-recommends
    -o "Dir::Cache::Archives=$cache")
  for try in machine kept fresh; do
    opt=()
    [ $try = machine ] || opt=(-o "Dir::State::Lists=$cache/lists")
    [ $try != fresh ] || "${apt[@]}" "${opt[@]}" update >>"$log" 2>&1 || break
    "${apt[@]}" "${opt[@]}" install --download-only "$@" >>"$log" 2>&1 || continue
    "${apt[@]}" "${opt[@]}" install "$@" >>"$log" 2>&1 && echo ok >"$status" ||
      echo "fail: installing $* failed ($(tail -n 1 "$log"))" >"$status"
    return
  done
  echo "skip: the Debian packages $* are neither in $cache nor downloadable ($(tail -n 1 "$log"))" >"$status"
}

# The host paths of SPOOLER_HOST_PATHS that exist.
spooler_host_paths() { local p; for p in "${SPOOLER_HOST_PATHS[@]}"; do [ -e "$p" ] || [ -L "$p" ] && echo "$p"; done; }

# On the host: the sample distribution, the host paths noted, then the session with the
# PACKAGES from the cache (KANDU_DEB_CACHE, or .cache/debs in the source tree). Sets
# OUT (the scenario's saved work folder), D and E2E_STANDINS. Ends the suite as skipped
# when the packages cannot be had, as failed when the session failed.
spooler_suite() {
  local cache suite status=0
  e2e_init_sample "$1"
  shift
  [ "$(id -u)" = 0 ] || e2e_skip "the spooler suites install packages and start print daemons in the sandbox, which needs root"
  cache=${KANDU_DEB_CACHE:-$E2E_ROOT/.cache/debs}
  case "$cache/" in
    /usr/* | /etc/* | /var/* | /opt/*) echo "FAIL: the package cache $cache lies in a tree that the sandbox replaces"; exit 1 ;;
  esac
  # The cache is bound into the sandbox, so that downloads are kept.
  mkdir -p "$cache" || { echo "FAIL: cannot make the package cache $cache"; exit 1; }
  suite=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
  SPOOLER_HOST_BEFORE=$(spooler_host_paths)
  OUT=$E2E_SCRATCH/session/out D=$SPOOLER_D E2E_STANDINS=$E2E_SCRATCH/session/out/standins.log
  mkdir -p "$OUT"
  (cd "$E2E_DIST" && "$E2E_SANDBOX" --timeout 900 --bind "$cache" --prepare "$SPOOLER_PREP_RUN" --prepare "$SPOOLER_PREP_DEV" \
    --prepare "/bin/bash '$E2E_ROOT/tests/e2e/lib.sh' --packages '$cache' $*" \
    -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb "SPOOLER_OUT=$OUT" \
    unshare --net /bin/bash "$suite" --inside) </dev/null >"$OUT/../stdout" 2>"$OUT/../stderr" || status=$?
  [ $status = 77 ] && e2e_skip "$(sed -n 's/^SKIPPED: //p' "$OUT/../stdout" | head -n 1)"
  [ $status = 0 ] && return
  echo "FAIL: the sandbox session ended with status $status"
  tail -n 20 "$OUT/../stdout" "$OUT/../stderr" "$OUT/timeouts" "$OUT"/*d.out "$OUT/apt.log" 2>/dev/null
  exit 1
}

# The end of a spooler suite: every wait of the session ended in time, the host paths
# are as before; then the count line.
spooler_finish() {
  e2e_case "the session's waits ended in time and its files stayed in the sandbox"
  e2e_assert_eq "waits that timed out" "$(cat "$OUT/timeouts" 2>/dev/null)" ""
  e2e_assert_eq "host paths" "$(spooler_host_paths)" "$SPOOLER_HOST_BEFORE"
  e2e_finish
}

# Inside: ends the scenario as skipped or failed when the packages did not install,
# brings the loopback up, makes the stand-ins' log (writable by the print systems' users)
# and the job files, saves the work folder (W), the log and the stand-ins' log to
# $SPOOLER_OUT at the end, and runs setup ARGUMENTS as the run NAME when given.
spooler_inside_start() {
  local st
  W=$SPOOLER_W
  st=$(cat "$SPOOLER_W/packages.status" 2>/dev/null || echo "fail: the package step did not run")
  case "$st" in
    ok) ;;
    skip:*) echo "SKIPPED: ${st#skip: }"; exit 77 ;;
    *) echo "FAIL: ${st#fail: }"; cp "$SPOOLER_W/apt.log" "$SPOOLER_OUT/" 2>/dev/null; exit 3 ;;
  esac
  unset KANDU_STANDIN_LOG
  ip link set lo up 2>/dev/null
  : >"$SPOOLER_STANDIN_LOG"
  chmod 666 "$SPOOLER_STANDIN_LOG"
  printf '%s\n' "$SPOOLER_JOB" >"$SPOOLER_W/job.txt"
  printf 'stdin line\n' >"$SPOOLER_W/stdin.txt"
  trap '{ cp "$SPOOLER_STANDIN_LOG" "$SPOOLER_W/standins.log"; cp /tmp/setup.log "$SPOOLER_W/"; cp -a "$SPOOLER_W/." "$SPOOLER_OUT/"; } 2>/dev/null' EXIT
  [ $# = 0 ] || spooler_setup "$@"
}

# Inside: starts the print daemon COMMAND... (its output in $SPOOLER_W/<name>.out) and
# waits until the shell CONDITION holds; the scenario ends with status 4 when it never does.
spooler_daemon() {
  local cond=$1
  shift
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@" >"$SPOOLER_W/${1##*/}.out" 2>&1 &
  spooler_wait 30 "$cond" || exit 4
}

# Inside: runs setup ARGUMENTS from the distribution folder (the current one); its status
# and the flags file it wrote go to $SPOOLER_W/setup-NAME.status and tv_cfg-NAME.
spooler_setup() {
  local name=$1 st=0
  shift
  ./setup "$@" </dev/null >"$SPOOLER_W/setup-$name.out" 2>&1 || st=$?
  echo "$st" >"$SPOOLER_W/setup-$name.status"
  cp "$SPOOLER_D/.tv_cfg" "$SPOOLER_W/tv_cfg-$name" 2>/dev/null
}

# Inside: waits at most SECONDS until the shell condition holds; status 1 when it never
# did (noted in $SPOOLER_W/timeouts).
spooler_wait() {
  local n=0
  until eval "$2"; do
    n=$((n + 1))
    [ $n -le $(($1 * 10)) ] || { echo "$2" >>"$SPOOLER_W/timeouts"; return 1; }
    sleep 0.1
  done
}

# The setup run NAME of the session ended with 0 and wrote FLAGS into the flags file.
spooler_assert_setup() {
  e2e_assert_eq "setup $1: status and flags" "$(cat "$OUT/setup-$1.status" "$OUT/tv_cfg-$1")" "0
$2"
}

if [ "${BASH_SOURCE[0]}" = "$0" ] && [ "${1:-}" = --packages ]; then
  shift
  spooler_install_packages "$@"
  exit 0
fi
