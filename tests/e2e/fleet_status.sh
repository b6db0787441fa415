#!/bin/bash
# fleet_status.sh - unattended runs: for each outcome, the exit status under
# TVNN_STATUS=detailed and the result file TVNN_RESULT names; the answers taken from the
# environment; statuses without TVNN_STATUS; a refused setting.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"
NOSIZE=$(e2e_spoil_dist nosize "$SAMPLE" 'rm isize SHA256SUMS')
DAMAGED=$(e2e_spoil_dist damaged "$SAMPLE" 'echo x >>pkg_tar.aa')
RESULT=/tmp/result.json
running() { echo "cp /bin/sleep /opt/$1 && (/opt/$1 60 </dev/null >/dev/null 2>&1 &)"; }

# The value of a Python expression over the last run's result file r, as JSON ("-" when
# there is no file): field 'r["outcome"]'.
field() {
  python3 -c 'import json, sys
try: r = json.load(open(sys.argv[1]))
except OSError: print("-"); sys.exit()
print(json.dumps(eval(sys.argv[2])))' "$E2E_STATE$RESULT" "$1"
}

# row NAME STATUS OUTCOME MESSAGE [run options] -- [ARGS]: a run with TVNN_STATUS=detailed
# ends with STATUS, and its result file has that status, OUTCOME and a message that
# matches the pattern MESSAGE.
row() {
  local name=$1 status=$2 outcome=$3 message=$4
  shift 4
  e2e_case "$name"
  e2e_run_setup --env TVNN_STATUS=detailed --env "TVNN_RESULT=$RESULT" "$@"
  e2e_assert_eq "status | result's outcome, status" "$E2E_STATUS|$(field '[r["outcome"], r["status"]]')" \
    "$status|[\"$outcome\", $status]"
  local got
  got=$(field 'r["message"]')
  # shellcheck disable=SC2053
  [[ $got == \"$message\" ]] && e2e_pass "message $got" || e2e_fail "message $got, expected $message"
}

row "a first installation" 0 installed "" --
e2e_assert_eq "previous_dir" "$(field 'r["previous_dir"]')" null
row "an update, answered by TVNN_CONTINUE=yes" 0 updated "" --env TVNN_CONTINUE=yes --prepare "$FIRST_USR" --
e2e_assert_said "[yn] yes"$'\n'
row "a relocation" 0 relocated "" --env TVNN_CONTINUE=yes --prepare "$FIRST_USR" -- install /opt
e2e_assert_eq "places; commands counted" "$(field '[r["product_dir"], r["previous_dir"], r["commands"] > 20]')" \
  '["/opt/Kandu/tvnn", "/usr/Kandu/tvnn", true]'
row "a fatal command failed" 1 failed "*command exited with status 3*" --tool "$(e2e_fake_tool tar 'exit 3')" --
e2e_assert_eq "failed commands" "$(field 'r["failed_commands"]')" 1
row "an unsafe installation directory" 2 refused "unsafe installation directory '/opt/a b'" -- install "/opt/a b"
row "not enough space" 3 no-space "not enough space in /usr" \
  --tool "$(e2e_fake_tool df 'printf "Filesystem 1K-blocks Used Available\nfull 1000 1000 0\n"')" --
row "suite programs run, TVNN_RUNNING=quit" 4 busy '*\(TVNN_RUNNING=quit\): tvqadmin' --env TVNN_RUNNING=quit \
  --prepare "$FIRST_USR" --prepare "$(running tvqadmin)" --
e2e_assert_said "Enter a selection:  2"$'\n'
e2e_assert_eq "changes" "$(awk -F'\t' '$2 != "/tmp/setup.log" { print $2 }' "$E2E_REPORT")" "$RESULT"
row "the package list's check, TVNN_RUNNING=quit" 4 busy "*: TavloD; the package list stopped part-way" \
  --env TVNN_RUNNING=quit --prepare "$(running TavloD)" --
e2e_assert_said "installation incomplete: "
row "declined by TVNN_CONTINUE=no" 5 declined '*\(TVNN_CONTINUE=no\)' --env TVNN_CONTINUE=no --prepare "$FIRST_USR" --
e2e_assert_said "[yn] no"$'\n'
row "not root" 6 not-root "not run by root" --tool "$(e2e_fake_tool whoami 'echo operator')" --
row "a size record missing" 7 incomplete "the size record isize is missing" --dist "$NOSIZE" --
row "a damaged distribution" 7 incomplete "the distribution is damaged: pkg_tar.aa: *" --dist "$DAMAGED" --
row "a host command missing" 7 incomplete "unable to locate system command 'tar'" \
  --prepare 'rm -f /usr/bin/tar /bin/tar /usr/sbin/tar /sbin/tar' --

e2e_case "without TVNN_STATUS the status is as ever; the result file says so"
e2e_run_setup --status 0 --env "TVNN_RESULT=$RESULT" --env TVNN_CONTINUE=no --prepare "$FIRST_USR" --
e2e_assert_eq "outcome, status" "$(field '[r["outcome"], r["status"]]')" '["declined", 0]'

e2e_case "a refused setting: status 2, one line, nothing made"
e2e_run_setup --status 2 --env TVNN_STATUS=detailed --env "TVNN_RESULT=$RESULT" --env TVNN_RUNNING=maybe -- /var/w
e2e_assert_eq "stderr" "$(cat "$E2E_STDERR")" "setup: TVNN_RUNNING must be wait or quit, not 'maybe'"
e2e_assert_eq "changes" "$(cut -f2 "$E2E_REPORT")" ""

e2e_finish
