#!/bin/bash
# lib.sh - shell functions for the end-to-end suites: distributions, runs of setup in
# the sandbox, captured results and assertions.
#
# A suite (tests/e2e/<name>.sh, run by CTest with the build folder as its argument):
#   . "$(dirname "$0")/lib.sh"
#   e2e_init "$1"                   # exits 77 (skipped) when the sandbox cannot start
#   e2e_require_setup               # fails when <build>/bin/setup is missing
#   e2e_make_dist first             # the sample product -> $E2E_DIST
#   e2e_case "first installation into /usr"
#   e2e_run_setup --stdin 'y' -- install /usr
#   e2e_assert_status 0
#   e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755 root root
#   e2e_finish                      # prints "N passed, N failed"; status 1 on a failure
#
# Results of the last run: E2E_RUN (its folder), E2E_STATUS, E2E_STDOUT, E2E_STDERR,
# E2E_LOG (/tmp/setup.log of the run, "" when none was written), E2E_REPORT (the
# sandbox's tab-separated report), E2E_STATE (the kept layers, see tools/sandbox) and
# E2E_STANDINS (the log of the sample product's stand-in programs). The environment
# variable E2E_SETUP names another installer than <build>/bin/setup.

E2E_PASSED=0
E2E_FAILED=0
E2E_CASE=""
E2E_RUNS=0
# A preparation (--prepare) that makes a previous installation into /usr with the
# installer itself, from the distribution folder.
FIRST_USR='./setup </dev/null >/dev/null 2>&1'

# Sets the suite up: E2E_ROOT (source tree), E2E_BUILD, E2E_SUITE, E2E_SCRATCH (a fresh
# folder of the build tree for this suite). With --no-sandbox the suite does not need
# namespaces; otherwise it ends with status 77 and the reason when they are unavailable.
e2e_init() {
  local need_sandbox=1
  if [ "${1:-}" = --no-sandbox ]; then
    need_sandbox=0
    shift
  fi
  [ -n "${1:-}" ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
  E2E_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  E2E_BUILD=$(cd "$1" && pwd) || exit 2
  E2E_SUITE=$(basename "$0" .sh)
  E2E_SCRATCH=$E2E_BUILD/e2e-scratch/$E2E_SUITE
  E2E_SANDBOX=$E2E_ROOT/tools/sandbox
  E2E_MKDIST=$E2E_ROOT/tools/mkdist
  E2E_SETUP=${E2E_SETUP:-$E2E_BUILD/bin/setup}
  rm -rf "$E2E_SCRATCH"
  mkdir -p "$E2E_SCRATCH"
  if [ $need_sandbox = 1 ]; then
    local why
    why=$("$E2E_SANDBOX" --check 2>&1) || e2e_skip "${why#sandbox: }"
  fi
}

# e2e_init, e2e_require_setup and the sample distribution: E2E_DIST and SAMPLE.
e2e_init_sample() {
  e2e_init "$1"
  e2e_require_setup
  e2e_make_dist sample >/dev/null || { echo "FAIL: mkdist"; exit 1; }
  SAMPLE=$E2E_DIST
}

# The start of a suite of a command-line tool (xdb, nlscompile, ttyhelp), which does
# not count with e2e_pass: sets build, root and TOOL (<build>/bin/NAME), skips (77)
# when the tool is not built, and runs the suite again in the sandbox (bare when
# namespaces are unavailable), which keeps even a mistake away from the machine.
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

# Ends the suite as skipped (CTest's status 77) with the reason.
e2e_skip() {
  echo "SKIPPED: $*"
  exit 77
}

# Ends the suite as failed when the installer has not been built.
e2e_require_setup() {
  [ -x "$E2E_SETUP" ] && return 0
  echo "FAIL: no installer at $E2E_SETUP: build the setup target first" >&2
  exit 1
}

# Starts a named group of assertions.
e2e_case() {
  E2E_CASE=$1
  echo "== $1"
}

e2e_pass() {
  E2E_PASSED=$((E2E_PASSED + 1))
  echo "  ok: $*"
}

e2e_fail() {
  E2E_FAILED=$((E2E_FAILED + 1))
  echo "  FAIL${E2E_CASE:+ [$E2E_CASE]}: $*"
}

# Ends the suite: the closing count line, status 0 when nothing failed, 1 otherwise.
e2e_finish() {
  echo "$E2E_PASSED passed, $E2E_FAILED failed"
  [ "$E2E_FAILED" = 0 ] && exit 0
  exit 1
}

# ---------------------------------------------------------------------------------
# Distributions

# Builds a distribution with tools/mkdist into $E2E_SCRATCH/dist/NAME and sets E2E_DIST.
# Options: --product DIR (default the sample, sample/pkg); the others go to mkdist
# (--upper, --piece-size SIZE, --archive FILE, --setup FILE). Without --setup the
# distribution carries <build>/bin/setup. Status of mkdist; its messages on stderr.
e2e_make_dist() {
  local name=$1 product=$E2E_ROOT/sample/pkg opts=() has_setup=0
  shift
  while [ $# -gt 0 ]; do
    case "$1" in
      --product) product=$2; shift 2 ;;
      --setup) has_setup=1; opts+=("$1" "$2"); shift 2 ;;
      --piece-size|--archive) opts+=("$1" "$2"); shift 2 ;;
      *) opts+=("$1"); shift ;;
    esac
  done
  [ $has_setup = 1 ] || opts+=(--setup "$E2E_SETUP")
  E2E_DIST=$E2E_SCRATCH/dist/$name
  rm -rf "$E2E_DIST"
  mkdir -p "$(dirname "$E2E_DIST")"
  "$E2E_MKDIST" "${opts[@]}" "$product" "$E2E_DIST"
}

# Builds a distribution NAME (E2E_DIST) of the sample product whose pkg.list is TEXT
# ("-": the sample's own list; "": no pkg.list). Ends the suite when mkdist fails.
e2e_make_list_dist() {
  local product=$E2E_SCRATCH/products/$1
  rm -rf "$product"
  mkdir -p "$product"
  cp -a "$E2E_ROOT/sample/pkg/." "$product/"
  if [ -z "$2" ]; then
    rm -f "$product/pkg.list"
  elif [ "$2" != - ]; then
    printf '%s' "$2" >"$product/pkg.list"
  fi
  e2e_make_dist "$1" --product "$product" >/dev/null || { echo "FAIL: mkdist $1" >&2; exit 1; }
}

# Writes a fake host tool (a /bin/sh script with the given body) into the suite's
# scratch folder and prints its path, for e2e_run_setup --tool.
e2e_fake_tool() {
  local name=$1 body=$2 dir=$E2E_SCRATCH/fake-tools
  mkdir -p "$dir"
  printf '#!/bin/sh\n%s\n' "$body" >"$dir/$name"
  chmod 755 "$dir/$name"
  echo "$dir/$name"
}

# ---------------------------------------------------------------------------------
# Running the installer

# Runs setup in the sandbox from a distribution folder, as the operator would start
# it there, and captures what it did. Options:
#   --dist DIR          the distribution folder (default $E2E_DIST)
#   --name NAME         the name of the run's capture folder (default run-N)
#   --stdin TEXT        standard input (a line feed is added), or --stdin-file FILE;
#                       without either, standard input is empty
#   --lang VALUE        LANG for the run (default: unset)
#   --env NAME=VALUE    a further environment variable (repeatable)
#   --invoke PATH       how setup is called (default ./setup)
#   --timeout SECONDS   the sandbox's time limit (default 300)
#   --tool FILE [NAME], --copy SRC DEST, --link TARGET LINK, --prepare CODE
#                       preparations, passed to the sandbox (tools/sandbox)
# The words after -- are setup's arguments. The environment of setup is fixed:
# PATH=/usr/sbin:/usr/bin:/sbin:/bin, HOME=/root, TERM=dumb, KANDU_SANDBOX=1,
# KANDU_STANDIN_LOG=$E2E_RUN/standins.log, LANG and --env values. Returns 0; a sandbox
# that could not run counts as a failed assertion.
e2e_run_setup() {
  local dist=${E2E_DIST:-} name="" stdin_file=/dev/null stdin_text="" lang="" invoke=./setup timeout=300
  local envs=() prep=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --dist) dist=$2; shift 2 ;;
      --name) name=$2; shift 2 ;;
      --stdin) stdin_text=$2; stdin_file=""; shift 2 ;;
      --stdin-file) stdin_file=$2; shift 2 ;;
      --lang) lang=$2; shift 2 ;;
      --env) envs+=("$2"); shift 2 ;;
      --invoke) invoke=$2; shift 2 ;;
      --timeout) timeout=$2; shift 2 ;;
      --tool)
        if [ $# -ge 3 ] && [[ "$3" != -* ]]; then
          prep+=(--tool "$2" "$3"); shift 3
        else
          prep+=(--tool "$2"); shift 2
        fi ;;
      --copy|--link) prep+=("$1" "$2" "$3"); shift 3 ;;
      --prepare) prep+=(--prepare "$2"); shift 2 ;;
      --) shift; break ;;
      *) echo "e2e_run_setup: unknown option $1" >&2; return 2 ;;
    esac
  done
  E2E_RUNS=$((E2E_RUNS + 1))
  E2E_RUN=$E2E_SCRATCH/runs/${name:-run-$E2E_RUNS}
  rm -rf "$E2E_RUN"
  mkdir -p "$E2E_RUN"
  if [ -z "$stdin_file" ]; then
    stdin_file=$E2E_RUN/stdin
    printf '%s\n' "$stdin_text" >"$stdin_file"
  fi
  E2E_STDOUT=$E2E_RUN/stdout
  E2E_STDERR=$E2E_RUN/stderr
  E2E_REPORT=$E2E_RUN/report.tsv
  E2E_STATE=$E2E_RUN/state
  E2E_STANDINS=$E2E_RUN/standins.log
  local env_=(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb KANDU_SANDBOX=1
    "KANDU_STANDIN_LOG=$E2E_STANDINS")
  [ -z "$lang" ] || env_+=("LANG=$lang")
  [ ${#envs[@]} = 0 ] || env_+=("${envs[@]}")
  E2E_STATUS=0
  (cd "$dist" && "$E2E_SANDBOX" --timeout "$timeout" --keep "$E2E_STATE" --report "$E2E_REPORT" \
    --report-text "$E2E_RUN/report.txt" "${prep[@]}" -- "${env_[@]}" "$invoke" "$@") \
    <"$stdin_file" >"$E2E_STDOUT" 2>"$E2E_STDERR" || E2E_STATUS=$?
  echo "$E2E_STATUS" >"$E2E_RUN/status"
  E2E_LOG=""
  if [ -f "$E2E_STATE/tmp/setup.log" ]; then
    E2E_LOG=$E2E_RUN/setup.log
    cp "$E2E_STATE/tmp/setup.log" "$E2E_LOG"
  fi
  if [ "$E2E_STATUS" = 125 ]; then
    e2e_fail "the sandbox could not run setup: $(tail -n 3 "$E2E_STDERR")"
  fi
  return 0
}

# The kept copy of a path that the last run created or changed (its upper layer; for
# /tmp the whole final private /tmp). Prints the path; status 1 when there is none.
e2e_state_file() {
  local kept=$E2E_STATE$1
  [ -e "$kept" ] || [ -L "$kept" ] || return 1
  echo "$kept"
}

# ---------------------------------------------------------------------------------
# Assertions: each counts as passed or failed and says which.

# Exit status of the last run.
e2e_assert_status() {
  if [ "$E2E_STATUS" = "$1" ]; then
    e2e_pass "exit status $1"
  else
    e2e_fail "exit status $E2E_STATUS, expected $1 (stderr: $(head -c 300 "$E2E_STDERR"))"
  fi
}

# A value the suite computed is exactly the expected one: DESCRIPTION GOT WANT.
e2e_assert_eq() {
  if [ "$2" = "$3" ]; then
    e2e_pass "$1"
  else
    e2e_fail "$1: got $(printf '%q' "$2"), expected $(printf '%q' "$3")"
  fi
}

# A file holds a text (fixed string, may span lines; line feeds at the file's end do
# not count) / does not / is exactly the text.
e2e_assert_file_has() {
  if [ -f "$1" ] && [[ "$(cat "$1")" == *"$2"* ]]; then
    e2e_pass "$1 has '$2'"
  else
    e2e_fail "$1 lacks '$2'"
  fi
}

e2e_assert_file_lacks() {
  if [ -f "$1" ] && [[ "$(cat "$1")" != *"$2"* ]]; then
    e2e_pass "$1 lacks '$2'"
  else
    e2e_fail "$1 has '$2' (or is missing)"
  fi
}

# Exact content; a line feed at the end of the file is part of the comparison only
# when the expected text has one (pass it with $'...\n').
e2e_assert_file_is() {
  local want=$2 got
  if [ ! -f "$1" ]; then
    e2e_fail "$1 is missing"
    return
  fi
  got=$(cat "$1"; echo x)
  got=${got%x}
  if [ "$got" = "$want" ]; then
    e2e_pass "$1 is as expected"
  else
    e2e_fail "$1 differs: expected $(printf '%q' "$want"), got $(printf '%q' "$got")"
  fi
}

e2e_assert_stdout_has() { e2e_assert_file_has "$E2E_STDOUT" "$1"; }
e2e_assert_stdout_lacks() { e2e_assert_file_lacks "$E2E_STDOUT" "$1"; }
e2e_assert_stdout_is() { e2e_assert_file_is "$E2E_STDOUT" "$1"; }
e2e_assert_stderr_has() { e2e_assert_file_has "$E2E_STDERR" "$1"; }
e2e_assert_stderr_lacks() { e2e_assert_file_lacks "$E2E_STDERR" "$1"; }
e2e_assert_stderr_is() { e2e_assert_file_is "$E2E_STDERR" "$1"; }

# The run's /tmp/setup.log holds each text / none of the texts.
e2e_assert_log_has() {
  if [ -z "$E2E_LOG" ]; then
    e2e_fail "the run wrote no /tmp/setup.log"
    return
  fi
  local t
  for t in "$@"; do e2e_assert_file_has "$E2E_LOG" "$t"; done
}

e2e_assert_log_lacks() {
  local t
  for t in "$@"; do e2e_assert_file_lacks "${E2E_LOG:-/nonexistent}" "$t"; done
}

# The report line of a path ("" when the run did not change it).
e2e_report_line() {
  awk -F'\t' -v p="$1" '$2 == p' "$E2E_REPORT"
}

# The paths of one kind of change (created, changed, removed) below a prefix, sorted.
e2e_report_paths() {
  awk -F'\t' -v c="$1" -v pre="${2:-/}" '$1 == c && index($2, pre) == 1 { print $2 }' "$E2E_REPORT"
}

# The report names CHANGE for PATH, and, where given, its TYPE MODE OWNER GROUP TARGET
# (for removed paths the state before; "" or - skips a field). CHANGE "changed" may be
# followed by the aspects, e.g. changed:mode,content.
e2e_assert_change() {
  local change=${1%%:*} aspects="" path=$2 line f i want got
  [[ "$1" == *:* ]] && aspects=${1#*:}
  shift 2
  line=$(e2e_report_line "$path")
  if [ -z "$line" ]; then
    e2e_fail "the report does not name $path (expected $change)"
    return
  fi
  IFS=$'\x1f' read -r -a f <<<"${line//$'\t'/$'\x1f'}"
  if [ "${f[0]}" != "$change" ]; then
    e2e_fail "$path: ${f[0]}, expected $change"
    return
  fi
  local off=2
  [ "$change" = removed ] && off=7
  i=0
  for want in "$@"; do
    got=${f[off + i]:-}
    if [ -n "$want" ] && [ "$want" != - ] && [ "$want" != "$got" ]; then
      e2e_fail "$path: field $((i + 1)) is '$got', expected '$want' (line: $line)"
      return
    fi
    i=$((i + 1))
  done
  if [ -n "$aspects" ] && [ "${f[12]:-}" != "$aspects" ]; then
    e2e_fail "$path: changed '${f[12]:-}', expected '$aspects'"
    return
  fi
  e2e_pass "$change $path"
}

# The report names each row "PATH [TYPE MODE OWNER GROUP TARGET]" as created (the
# fields of e2e_assert_change, separated by blanks).
e2e_assert_created() {
  local row
  for row in "$@"; do
    # shellcheck disable=SC2086
    e2e_assert_change created $row
  done
}

# The report names none of the paths.
e2e_assert_unchanged() {
  local p line
  for p in "$@"; do
    line=$(e2e_report_line "$p")
    if [ -z "$line" ]; then
      e2e_pass "$p unchanged"
    else
      e2e_fail "$p changed: $line"
    fi
  done
}

# The last run changed nothing but its log (the refused and quit runs).
e2e_assert_nothing_changed() {
  local other
  other=$(awk -F'\t' '$2 != "/tmp/setup.log"' "$E2E_REPORT")
  [ -z "$other" ] && e2e_pass "nothing changed" || e2e_fail "changes: $other"
}

# ---------------------------------------------------------------------------------
# The stand-in programs of the sample product log each start (README.md, "Sandbox and
# distributions"; sample/pkg/standin.sh):
# lines "<program>\t<pid>\t<key>\t<value>".

# The arguments of the N-th start (default the first) of a program, one a line.
e2e_standin_args() {
  local prog=$1 n=${2:-1}
  [ -f "$E2E_STANDINS" ] || return 0
  awk -F'\t' -v prog="$prog" -v n="$n" '
    $1 == prog && $3 == "start" { seen++ }
    $1 == prog && $3 == "arg" && seen == n { print $4 }' "$E2E_STANDINS"
}

# How often a program was started in the last run.
e2e_standin_count() {
  [ -f "$E2E_STANDINS" ] || { echo 0; return; }
  awk -F'\t' -v prog="$1" '$1 == prog && $3 == "start" { n++ } END { print n + 0 }' "$E2E_STANDINS"
}

# A program's log holds a record KEY VALUE (e.g. arg -upgrade, env TavloPrinter=lp1),
# for each pair given.
e2e_assert_standin() {
  local prog=$1 key value
  shift
  while [ $# -ge 2 ]; do
    key=$1 value=$2
    shift 2
    if [ -f "$E2E_STANDINS" ] &&
      awk -F'\t' -v p="$prog" -v k="$key" -v v="$value" '$1 == p && $3 == k && $4 == v { f = 1 } END { exit !f }' \
        "$E2E_STANDINS"; then
      e2e_pass "$prog logged $key $value"
    else
      e2e_fail "$prog did not log $key $value"
    fi
  done
}

# ---------------------------------------------------------------------------------
# Run directly (CTest runs it as e2e.lib with the build folder), the library checks
# that its assertions and readers tell right from wrong on made-up results.
e2e_self_test() {
  e2e_init --no-sandbox "$1"
  local d=$E2E_SCRATCH/self
  mkdir -p "$d"
  E2E_STATUS=3 E2E_STDOUT=$d/out E2E_STDERR=$d/err E2E_REPORT=$d/report E2E_STANDINS=$d/standins
  printf 'one\ntwo\n' >"$E2E_STDOUT"
  : >"$E2E_STDERR"
  printf 'created\t/usr/bin/x\tfile\t0755\troot\troot\t\t\t\t\t\t\t\n' >"$E2E_REPORT"
  printf 'changed\t/etc/y\tfile\t4755\troot\tlp\t\tfile\t0644\troot\troot\t\tmode,group\n' >>"$E2E_REPORT"
  printf 'removed\t/opt/z\t\t\t\t\t\tlink\t0777\troot\troot\t/t\t\n' >>"$E2E_REPORT"
  printf 'qmf\t7\tstart\t/q\nqmf\t7\targ\t-a\nqmf\t7\targ\tb c\nqmf\t9\tstart\t/q\nqmf\t9\targ\t-z\n' >"$E2E_STANDINS"

  # Each check: the assertion, and whether it must pass (1) or fail (0).
  local checks=(
    "1|e2e_assert_status 3" "0|e2e_assert_status 0" "1|e2e_assert_eq x 'a b' 'a b'" "0|e2e_assert_eq x a b"
    "1|e2e_assert_stdout_has two" "0|e2e_assert_stdout_has three"
    "1|e2e_assert_stdout_is \$'one\ntwo\n'" "0|e2e_assert_stdout_is one"
    "1|e2e_assert_stdout_lacks three" "0|e2e_assert_stdout_lacks one"
    "1|e2e_assert_stderr_is ''" "0|e2e_assert_log_has x" "0|e2e_assert_log_lacks x"
    "1|e2e_assert_change created /usr/bin/x file 0755 root root"
    "0|e2e_assert_change created /usr/bin/x file 0644"
    "0|e2e_assert_change changed /usr/bin/x"
    "1|e2e_assert_change changed:mode,group /etc/y file 4755 - lp"
    "0|e2e_assert_change changed:mode /etc/y"
    "1|e2e_assert_change removed /opt/z link 0777 root root /t"
    "0|e2e_assert_change removed /opt/w"
    "1|e2e_assert_unchanged /opt/w" "0|e2e_assert_unchanged /etc/y" "0|e2e_assert_nothing_changed"
    "1|e2e_assert_unchanged /opt/w /opt/v" "0|e2e_assert_unchanged /opt/w /etc/y"
    "1|e2e_assert_created '/usr/bin/x file 0755 root root'" "0|e2e_assert_created /usr/bin/x /etc/y"
    "1|e2e_assert_standin qmf arg 'b c'" "0|e2e_assert_standin qmf arg b"
    "1|e2e_assert_standin qmf arg -a arg -z" "0|e2e_assert_standin qmf arg -a arg b"
  )
  SELF_OK=0 SELF_BAD=0
  e2e_self_checks "${checks[@]}"
  [ "$(e2e_standin_args qmf 1 | tr '\n' '|')" = "-a|b c|" ]
  e2e_self_ok $? "e2e_standin_args qmf 1"
  [ "$(e2e_standin_args qmf 2)" = -z ] && [ "$(e2e_standin_count qmf)" = 2 ]
  e2e_self_ok $? "the second start of qmf"
  [ "$(e2e_report_paths changed /etc)" = /etc/y ] && [ -z "$(e2e_report_paths created /opt)" ]
  e2e_self_ok $? "e2e_report_paths"
  e2e_self_end
}

# The self-tests of the libraries: each "WANT|ASSERTION" must pass (WANT 1) or fail
# (0); e2e_self_ok counts a test's status ($?) and names it when it failed; the
# counts are SELF_OK and SELF_BAD, e2e_self_end prints them (status 1 on a failure).
e2e_self_checks() {
  local c want expr before out
  for c in "$@"; do
    want=${c%%|*} expr=${c#*|}
    before=$E2E_FAILED
    out=$(eval "$expr"; echo "failed=$E2E_FAILED")
    [[ "$out" == *"failed=$((before + 1 - want))" ]]
    e2e_self_ok $? "'$expr' should $([ "$want" = 1 ] && echo pass || echo fail): $out"
  done
}

e2e_self_ok() {
  if [ "$1" = 0 ]; then
    SELF_OK=$((SELF_OK + 1))
  else
    SELF_BAD=$((SELF_BAD + 1))
    echo "  FAIL: $2"
  fi
}

e2e_self_end() {
  echo "$SELF_OK passed, $SELF_BAD failed"
  [ "$SELF_BAD" = 0 ]
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  e2e_self_test "$@"
  exit
fi
