#!/bin/bash
# faults_lib.sh - the shared part of the fault-injection suites (tests/e2e/faults_*.sh):
# a whole installation run with a fault, the check that it changed nothing outside
# the installer's own places, a second run without the fault, and the suite's rows
# of the README's fault table.
#
# A case:
#   fault_case "the work area's file system is full"
#   FAULT_PREP=(--prepare 'mount -t tmpfs -o size=300k kandu-full /media')  # the fault
#   FAULT_RUN='./setup /media/w'           # the faulty run (shell code, in the distribution)
#   FAULT_UNDO='mount -o remount,size=64m /media'   # what takes the fault away
#   fault_try 1 'ERROR: command exited with status 1'  # fault_first (the run, E2E_* results
#                                          # of lib.sh), its status, fault_sees (the message)
#   e2e_assert_log_has ...                 # ... the suite's own assertions
#   fault_done                             # fault_contained (nothing changed outside the
#                                          # allowed places), fault_second (the faulty run
#                                          # again, the fault undone, a clean run), fault_row
#
# Run directly (CTest runs it as e2e.faults_lib with the build folder), the library
# checks its own report readers on made-up reports.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The places an installation may change: the product tree and its maker folder (in
# /usr and /opt), the spool tree, the launchers and other targets of the sample's
# package list, the work area, and the installer's log and sed scratch file.
FAULT_ALLOWED=(/usr/Kandu /opt/Kandu /var/spool/Kandu /usr/bin/tvadmin /usr/bin/tavlo
  /usr/share/doc/KanduTavlo /etc/tavlo /tmp/KanduInstall /tmp/setup.log /tmp/setup.tmp)

# The second run's check of a whole installation below D (the product directory):
# prints one word for each part that is missing or wrong, nothing when complete.
FAULT_CHECK='D=${FAULT_D:-/usr/Kandu/tvnn}
for f in qmf tvrtvnntty; do [ "$(stat -c %a "$D/$f" 2>/dev/null)" = 4755 ] || echo "$f-mode"; done
for f in .tv_cfg KanduPrinttvnn v4DriverScript KanduQMF tvqadmin TavloD tavlo.conf lib help; do
  [ -e "$D/$f" ] || echo "$f"; done
grep -q "@SPOOL@\|@HOST@" "$D/tavlo.conf" 2>/dev/null && echo "tavlo.conf-unedited"
[ "$(stat -c %a /var/spool/Kandu/tvnn/__tva_download__ 2>/dev/null)" = 777 ] || echo "spool-tree"
[ -x /usr/bin/tvadmin ] || echo "launcher"
[ -d /usr/Kandu/tvnn ] || echo "product-link"
[ -e "${FAULT_W:-/tmp/KanduInstall}" ] && echo "work-area-left"
true'

# Starts a case: the fault's description and empty settings.
fault_case() {
  e2e_case "$1"
  FAULT_NAME=$1 FAULT_PREP=() FAULT_ALLOW=() FAULT_DIST=${FAULT_DIST_DEFAULT:-$E2E_DIST}
  FAULT_RUN='./setup' FAULT_UNDO=':' FAULT_CLEAN='printf "y\n" | ./setup'
  FAULT_SEES="" FAULT_FIRST_STATUS="" FAULT_STATE="" FAULT_SECOND=""
  FAULT_CHECK_D=/usr/Kandu/tvnn FAULT_CHECK_W=/tmp/KanduInstall
}

# The faulty run: FAULT_RUN with the preparations FAULT_PREP, its results in E2E_*.
# Whether the work area (FAULT_CHECK_W, default /tmp/KanduInstall) is left is noted
# in /tmp/fault-work-left, since a work area outside the sandbox's trees is not in
# the report.
fault_first() {
  local w=$FAULT_CHECK_W
  e2e_run_setup --dist "$FAULT_DIST" --name "$(fault_slug)-first" "${FAULT_PREP[@]}" \
    --invoke /bin/sh -- -c "($FAULT_RUN); s=\$?; [ -e $w ] && : >/tmp/fault-work-left; exit \$s" "$@"
  FAULT_FIRST_STATUS=$E2E_STATUS
  FAULT_STATE=$(fault_state)
  # Every run starts its log afresh, whatever ends it.
  if [ -n "$E2E_LOG" ] && [ "$(head -n 1 "$E2E_LOG")" = "initializing system" ]; then
    e2e_pass "the log starts with the run"
  else
    e2e_fail "the run did not start /tmp/setup.log"
  fi
}

# The faulty run with its expected exit status and, when given, the message seen.
fault_try() {
  fault_first
  e2e_assert_status "$1"
  [ $# -lt 2 ] || fault_sees "$2"
}

# The end of a case: fault_contained, fault_second, fault_row (with its argument).
fault_done() {
  fault_contained
  fault_second
  fault_row "$@"
}

# The message the operator sees: must stand on standard output or standard error,
# and an ERROR or WARNING line also in the log.
fault_sees() {
  FAULT_SEES=$1
  if [[ "$(cat "$E2E_STDOUT" "$E2E_STDERR")" == *"$1"* ]]; then
    e2e_pass "the run says '$1'"
  else
    e2e_fail "the run does not say '$1' (stdout: $(tail -c 300 "$E2E_STDOUT"); stderr: $(tail -c 300 "$E2E_STDERR"))"
  fi
  case "$1" in ERROR:*|WARNING:*) e2e_assert_log_has "$1" ;; esac
}

# True when the path lies at or below one of the allowed places.
fault_is_allowed() {
  local a
  for a in "${FAULT_ALLOWED[@]}" "${FAULT_ALLOW[@]}"; do
    [ "$1" = "$a" ] || [[ "$1" == "$a"/* ]] && return 0
  done
  return 1
}

# Nothing outside the allowed places (and FAULT_ALLOW) was changed by the last run.
fault_contained() {
  local p outside=()
  while IFS= read -r p; do
    [[ "$p" == /tmp/fault-* ]] && continue  # the suite's own notes
    fault_is_allowed "$p" || outside+=("$p")
  done < <(awk -F'\t' '{ print $2 }' "$E2E_REPORT")
  if [ ${#outside[@]} = 0 ]; then
    e2e_pass "nothing changed outside the installer's places"
  else
    e2e_fail "changed outside the installer's places: ${outside[*]}"
  fi
}

# The state the last run left, in words, from its report.
fault_state() {
  local state
  state=$(fault_state_of "$E2E_REPORT")
  [ -e "$E2E_STATE/tmp/fault-work-left" ] && state="$state; work area left"
  echo "$state"
}

# The state in words of a report file (the paths it names as created or changed).
fault_state_of() {
  awk -F'\t' '
    $1 == "removed" { next }
    $2 ~ /^\/tmp\/(setup\.(log|tmp)|fault-[a-z-]*)$/ { next }
    $2 ~ /^\/tmp\/KanduInstall(\/|$)/ { next }
    $2 ~ /^\/(usr|opt)\/Kandu\/tvnn\// { files++; next }
    $2 ~ /^\/(usr|opt)\/Kandu(\/tvnn)?$/ { tree = 1; next }
    $2 ~ /^\/var\/spool\/Kandu/ { spool = 1; next }
    $2 ~ /^\/usr\/bin\// { bin = 1; next }
    { other++ }
    END {
      s = ""
      if (tree && !files) s = "empty product directory"
      if (files) s = sprintf("product tree with %d entries", files)
      if (spool) s = s (s ? ", " : "") "spool tree"
      if (bin) s = s (s ? ", " : "") "launchers"
      if (other) s = s (s ? ", " : "") sprintf("%d more paths", other)
      print s ? s : "nothing but the log"
    }' "$1"
}

# The second run: a sandbox whose preparations repeat the faulty run and then take
# the fault away (FAULT_UNDO); the command is FAULT_CLEAN and the check of the whole
# installation (of the product directory FAULT_CHECK_D, default /usr/Kandu/tvnn, and
# the work area FAULT_CHECK_W). Asserts status 0 and a complete installation;
# FAULT_SECOND says it.
fault_second() {
  local check=$E2E_SCRATCH/check.sh
  printf '%s\n' "$FAULT_CHECK" >"$check"
  e2e_run_setup --dist "$FAULT_DIST" --name "$(fault_slug)-second" "${FAULT_PREP[@]}" \
    --env "FAULT_D=$FAULT_CHECK_D" --env "FAULT_W=$FAULT_CHECK_W" \
    --prepare "($FAULT_RUN) </dev/null >/dev/null 2>&1; $FAULT_UNDO; true" \
    --copy "$check" /tmp/fault-check.sh \
    --invoke /bin/sh -- -c "($FAULT_CLEAN); s=\$?; sh /tmp/fault-check.sh >/tmp/fault-missing 2>&1; exit \$s" "$@"
  local missing=""
  [ -f "$E2E_STATE/tmp/fault-missing" ] && missing=$(tr '\n' ' ' <"$E2E_STATE/tmp/fault-missing")
  missing=${missing% }
  if [ "$E2E_STATUS" = 0 ] && [ -z "$missing" ]; then
    FAULT_SECOND="status 0, installation complete"
    e2e_pass "the second run installs the whole product"
  else
    FAULT_SECOND="status $E2E_STATUS${missing:+, missing: $missing}"
    e2e_fail "second run: $FAULT_SECOND (stdout: $(tail -c 300 "$E2E_STDOUT"); stderr: $(tail -c 300 "$E2E_STDERR"))"
  fi
}

# A file name of the case's title.
fault_slug() { printf '%s' "$FAULT_NAME" | tr -c 'a-zA-Z0-9' '-' | tr -s '-' | cut -c1-60; }

# A table cell: pipes escaped, line feeds as blanks, the distribution's folder as <dist>.
fault_cell() {
  local s=${1//$E2E_SCRATCH\/dist\//<dist>/}
  s=${s//$'\n'/ }
  printf '%s' "${s//|/\\|}"
}

# Appends the case's row to the suite's part of the fault table.
fault_row() {
  local sees=${1:-$FAULT_SEES}
  printf '| %s | %s | %s | %s | %s |\n' "$(fault_cell "$FAULT_NAME")" "$(fault_cell "${sees:-(nothing but the usual output)}")" \
    "$FAULT_FIRST_STATUS" "$(fault_cell "$FAULT_STATE")" "$(fault_cell "${FAULT_SECOND:-not run}")" >>"$FAULT_TABLE"
}

# A copy of the sample distribution as NAME (its path printed), for a case to spoil.
fault_dist() {
  local dir=$E2E_SCRATCH/dist/$1
  rm -rf "$dir"
  cp -a "$FAULT_DIST_DEFAULT" "$dir"
  echo "$dir"
}

# A distribution NAME (its path printed) of the sample product with the pkg.list TEXT
# (see e2e_make_list_dist).
fault_product_dist() {
  e2e_make_list_dist "$1" "$2"
  echo "$E2E_DIST"
}

# Sets the suite up: lib.sh's e2e_init, the installer, the sample distribution, and
# a fresh part of the fault table, <build>/faults/<suite>.md, headed by TITLE.
fault_init() {
  e2e_init "$1"
  e2e_require_setup
  e2e_make_dist sample >/dev/null || { echo "FAIL: mkdist"; exit 1; }
  FAULT_DIST_DEFAULT=$E2E_DIST
  mkdir -p "$E2E_BUILD/faults"
  FAULT_TABLE=$E2E_BUILD/faults/$E2E_SUITE.md
  {
    printf '#### %s\n\n' "$2"
    printf '| fault | what the user sees | exit status | state left | second run |\n'
    printf '|---|---|---|---|---|\n'
  } >"$FAULT_TABLE"
}

# Ends the suite: its rows must be those of the README (tools/faults-table writes
# them there), then lib.sh's count line and status.
fault_finish() {
  local readme=$E2E_ROOT/README.md block
  block=$(awk -v b="<!-- faults:$E2E_SUITE begin -->" -v e="<!-- faults:$E2E_SUITE end -->" \
    '$0 == e { on = 0 } on { print } $0 == b { on = 1 }' "$readme")
  if [ "$block" = "$(cat "$FAULT_TABLE")" ]; then
    e2e_pass "the README's fault table holds this suite's outcomes"
  else
    e2e_fail "the README's fault table differs from this suite's outcomes: run tools/faults-table $E2E_BUILD"
    diff <(printf '%s\n' "$block") "$FAULT_TABLE" | head -n 20 | sed 's/^/    /'
  fi
  e2e_finish
}

# ---------------------------------------------------------------------------------
# Run directly: the report readers on made-up reports.
fault_self_test() {
  e2e_init --no-sandbox "$1"
  local r=$E2E_SCRATCH/report got
  SELF_OK=0 SELF_BAD=0
  printf 'created\t/tmp/setup.log\tfile\t0666\troot\troot\t\t\t\t\t\t\t\n' >"$r"
  got=$(fault_state_of "$r")
  [ "$got" = "nothing but the log" ]
  e2e_self_ok $? "log only: $got"
  printf 'created\t/tmp/KanduInstall/pkg\tdir\t0755\troot\troot\t\t\t\t\t\t\t\n' >>"$r"
  printf 'created\t/usr/Kandu\tdir\t0755\troot\troot\t\t\t\t\t\t\t\n' >>"$r"
  printf 'created\t/usr/Kandu/tvnn\tdir\t0755\troot\troot\t\t\t\t\t\t\t\n' >>"$r"
  printf 'created\t/usr/Kandu/tvnn/qmf\tfile\t4755\troot\troot\t\t\t\t\t\t\t\n' >>"$r"
  printf 'created\t/var/spool/Kandu\tdir\t0775\troot\troot\t\t\t\t\t\t\t\n' >>"$r"
  printf 'removed\t/usr/bin/x\t\t\t\t\t\tfile\t0755\troot\troot\t\t\n' >>"$r"
  printf 'created\t/etc/other\tfile\t0644\troot\troot\t\t\t\t\t\t\t\n' >>"$r"
  got=$(fault_state_of "$r")
  [ "$got" = "product tree with 1 entries, spool tree, 1 more paths" ]
  e2e_self_ok $? "state: $got"
  E2E_REPORT=$r FAULT_ALLOW=()
  E2E_PASSED=0 E2E_FAILED=0
  got=$(fault_contained; echo "failed=$E2E_FAILED")
  [[ "$got" == *"outside the installer's places: /usr/bin/x /etc/other"*"failed=1" ]]
  e2e_self_ok $? "contained: $got"
  FAULT_ALLOW=(/etc/other /usr/bin/x)
  got=$(fault_contained; echo "failed=$E2E_FAILED")
  [[ "$got" == *"failed=0" ]]
  e2e_self_ok $? "allowed: $got"
  E2E_SCRATCH=/s
  got=$(fault_cell $'a|b\n/s/dist/x/setup')
  [ "$got" = 'a\|b <dist>/x/setup' ]
  e2e_self_ok $? "cell: $got"
  e2e_self_end
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  fault_self_test "$@"
  exit
fi
