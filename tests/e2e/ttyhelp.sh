#!/bin/bash
# ttyhelp.sh - the help viewer from its command line: --dump and --links against the
# golden pages, its errors, the shipped guide, and a dialogue on a real terminal (tmux).
#   tests/e2e/ttyhelp.sh BUILD_DIR
set -uo pipefail

. "$(dirname "$0")/lib.sh"
e2e_tool_suite ttyhelp "$@"
ttyhelp=$TOOL

scratch=$(mktemp -d "$build/e2e-ttyhelp.XXXXXX")
sock="$scratch/tmux.sock"
trap 'tmux -S "$sock" kill-server 2>/dev/null; rm -rf "$scratch"' EXIT
pages="$root/tests/help/pages"
guide="$build/share/tvnn/help/setup.html"
passed=0
failures=0

pass() { passed=$((passed + 1)); }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect NAME STATUS STDOUT_FILE STDERR_TEXT -- command...: runs the command and
# compares its status, its output with the file and its error text.
expect() {
  local name=$1 status=$2 want_out=$3 want_err=$4
  shift 5
  "$@" >"$scratch/out" 2>"$scratch/err"
  local got=$?
  if [ "$got" != "$status" ]; then
    fail "$name: status $got, wanted $status ($(cat "$scratch/err"))"
  elif ! cmp -s "$scratch/out" "$want_out"; then
    fail "$name: output differs:"
    diff "$want_out" "$scratch/out" | head -20
  elif [ "$(cat "$scratch/err")" != "$want_err" ]; then
    fail "$name: error text '$(cat "$scratch/err")', wanted '$want_err'"
  else
    pass
  fi
}

# ---- --dump and --links ----

expect "dump of the first page" 0 "$pages/sample-contents.txt" "" -- "$ttyhelp" --dump "$pages/sample.html"
expect "dump of a named page" 0 "$pages/sample-tables.txt" "" -- "$ttyhelp" --dump "$pages/sample.html" tables
expect "dump of contents" 0 "$pages/sample-contents.txt" "" -- "$ttyhelp" --dump "$pages/sample.html" contents

printf '2\t#tables\t138\t146\t8\n2\tother.html#top\t153\t167\t14\n' >"$scratch/links-contents"
expect "links of the first page" 0 "$scratch/links-contents" "" -- "$ttyhelp" --links "$pages/sample.html"
printf '1\tgrid\t45\t45\t0\n2\t#grid\t186\t194\t8\n2\t#top\t237\t242\t5\n' >"$scratch/links-tables"
expect "links of a named page" 0 "$scratch/links-tables" "" -- "$ttyhelp" --links "$pages/sample.html" tables

# The edge cases of the renderer through the program.
printf '<html><head><title>12345678901234567890</title></head><body>\n<table border><tr><td>ab</td><td>xyz</td></tr></table>\n<ol><li>a</li><li>b</li><li>c</li></ol>\n<p>See <a href="#s2">Setup</a> now</p></body></html>\n' >"$scratch/edge.html"
{
  printf '%30s12345678901234567890\n\n' ''
  printf ",--+---,\n|ab|xyz|\n'--+---'\n\n   1. a\n   2. b\n   3. c\n\n\nSee <Setup> now\n"
} >"$scratch/edge.txt"
expect "edge cases rendered" 0 "$scratch/edge.txt" "" -- "$ttyhelp" --dump "$scratch/edge.html"
printf '2\t#s2\t110\t117\t7\n' >"$scratch/edge-links"
expect "edge case link" 0 "$scratch/edge-links" "" -- "$ttyhelp" --links "$scratch/edge.html"

# ---- errors ----

: >"$scratch/empty"
expect "missing file" 1 "$scratch/empty" "ttyhelp: cannot read $scratch/none.html: No such file or directory" -- \
  "$ttyhelp" --dump "$scratch/none.html"
printf 'just text, no html tag\n' >"$scratch/nopages.html"
expect "no pages" 1 "$scratch/empty" "ttyhelp: $scratch/nopages.html: no pages" -- "$ttyhelp" --links "$scratch/nopages.html"
expect "unknown page" 1 "$scratch/empty" "ttyhelp: $pages/sample.html: no page named nosuch" -- \
  "$ttyhelp" --dump "$pages/sample.html" nosuch
"$ttyhelp" --dump >/dev/null 2>&1
[ $? = 2 ] && pass || fail "--dump without a file should end with status 2"

# ---- the shipped guide ----

if [ ! -f "$guide" ]; then
  fail "the guide is not installed at $guide"
else
  for page in contents running steps status space pkglist queues log; do
    if "$ttyhelp" --dump "$guide" "$page" >"$scratch/page" 2>"$scratch/err" && [ -s "$scratch/page" ]; then
      pass
    else
      fail "guide page $page: $(cat "$scratch/err")"
    fi
  done
  # Every link of the guide's first page leads to one of its pages.
  while IFS=$'\t' read -r kind target _; do
    [ "$kind" = 2 ] || continue
    "$ttyhelp" --dump "$guide" "${target#\#}" >/dev/null 2>&1 && pass || fail "guide link $target leads nowhere"
  done < <("$ttyhelp" --links "$guide")
fi

# ---- a dialogue on a terminal ----

if ! command -v tmux >/dev/null 2>&1; then
  "$root/tools/ensure-packages" tmux >/dev/null 2>&1 || true
fi
if ! command -v tmux >/dev/null 2>&1; then
  echo "tmux is missing: the terminal dialogue is not tried"
else
  screen() { tmux -S "$sock" capture-pane -p -t help 2>/dev/null; }
  # wait_for TEXT: up to 10 seconds for the screen to show TEXT.
  wait_for() {
    local i
    for i in $(seq 1 50); do
      screen | grep -qF -- "$1" && return 0
      sleep 0.2
    done
    return 1
  }
  keys() { tmux -S "$sock" send-keys -t help "$@"; }
  # The viewer opens the guide by itself when no file is named.
  tmux -S "$sock" new-session -d -s help -x 100 -y 200 "$ttyhelp; echo ttyhelp-ended-\$?; sleep 30"
  if wait_for "Installing Tavlo with setup" && wait_for " e) Exit Help"; then pass; else
    fail "the guide's first page did not show"; screen | tail -20
  fi
  keys 3 Enter
  if wait_for "Exit statuses" && wait_for "| Status | When"; then pass; else
    fail "link 3 did not open the exit statuses"; screen | tail -20
  fi
  keys b Enter
  if wait_for "Choose a chapter by its number"; then pass; else fail "Back did not return"; fi
  keys 5 Enter
  wait_for "The package list pkg/pkg.list" && pass || fail "link 5 did not open the package list"
  keys c Enter
  wait_for "Choose a chapter by its number" && pass || fail "Contents did not return"
  keys e Enter
  if wait_for "ttyhelp-ended-0"; then pass; else fail "Exit Help did not end the viewer with status 0"; fi
fi

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
