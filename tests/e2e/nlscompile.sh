#!/bin/bash
# nlscompile.sh - the catalogue compiler from its command line: usage, a good source,
# refused sources with their file:line errors, and the tool directory of the build.
#   tests/e2e/nlscompile.sh BUILD_DIR
set -uo pipefail

. "$(dirname "$0")/lib.sh"
e2e_tool_suite nlscompile "$@"
nlscompile=$TOOL

scratch=$(mktemp -d "$build/e2e-nlscompile.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect_run NAME STATUS EXPECTED_STDERR -- command...: runs the command and compares
# its exit status and its whole standard error.
expect_run() {
  local name=$1 status=$2 expected=$3
  shift 4
  local err got
  err=$("$@" 2>&1 >/dev/null)
  got=$?
  [ "$got" = "$status" ] || fail "$name: exit status $got, expected $status"
  [ "$err" = "$expected" ] || fail "$name: standard error was:
$err
expected:
$expected"
}

tool="$scratch/tool"
src="$scratch/src.msg"
out="$tool/db/en_US/Test.xdb"

# --- usage
expect_run "no arguments" 2 "usage: nlscompile [--long] SOURCE TOOLDIR LANGUAGE NAME
  writes TOOLDIR/db/LANGUAGE/NAME.xdb from the catalogue source SOURCE;
  --long accepts texts of up to 60000 bytes instead of 2047" -- "$nlscompile"
"$nlscompile" --help | grep -q '^usage: nlscompile' || fail "--help does not print the usage on standard output"
expect_run "language with a slash" 2 "nlscompile: the language and the catalogue name must be plain names
usage: nlscompile [--long] SOURCE TOOLDIR LANGUAGE NAME
  writes TOOLDIR/db/LANGUAGE/NAME.xdb from the catalogue source SOURCE;
  --long accepts texts of up to 60000 bytes instead of 2047" -- "$nlscompile" "$src" "$tool" ../en Test
expect_run "missing source" 1 "nlscompile: cannot read $scratch/none.msg: No such file or directory" -- \
  "$nlscompile" "$scratch/none.msg" "$tool" en_US Test

# --- a good source
cat >"$src" <<'EOF'
# menu texts
25 201 "Enter a selection: "
key:TVATTYMENU_SAVE "Save"
EOF
expect_run "good source" 0 "" -- "$nlscompile" "$src" "$tool" en_US Test
[ -f "$out" ] || fail "good source: $out was not written"
[ "$(head -c 7 "$out")" = "TXDBAA2" ] || fail "good source: $out does not begin with the typed header of 2 records"
[ "$(stat -c %a "$out")" = 644 ] || fail "good source: $out has mode $(stat -c %a "$out"), expected 644"
cp "$out" "$scratch/good.xdb"

# --- refused sources leave the catalogue as it was
cat >"$src" <<'EOF'
25 201 "Enter a selection: "
25 202 Accept
25 x "what"
25 201 "again"
25 204 "bad \q escape"
EOF
expect_run "malformed lines" 1 "$src:2: error: expected a quoted text
$src:3: error: expected a message number (a number), or key:NAME
$src:4: error: duplicate key 25_201 (first defined at line 1)
$src:5: error: unknown escape \\q" -- "$nlscompile" "$src" "$tool" en_US Test
cmp -s "$out" "$scratch/good.xdb" || fail "malformed lines: the old catalogue was changed"

long=$(printf '%*s' 2048 '' | tr ' ' a)
printf '1 1 "%s"\n' "$long" >"$src"
expect_run "text over the limit" 1 "$src:1: error: text of 2048 bytes is longer than the limit of 2047 bytes" -- \
  "$nlscompile" "$src" "$tool" en_US Test
expect_run "long text with --long" 0 "" -- "$nlscompile" --long "$src" "$tool" en_US Test

printf '# only a comment\n\n' >"$src"
expect_run "no messages" 1 "$src: error: no messages" -- "$nlscompile" "$src" "$tool" en_US Test

# --- the tool directory of the build
for f in trans.conf db/en_US/CoreString.xdb; do
  [ -s "$build/share/tvnn/$f" ] || fail "the build has no $build/share/tvnn/$f"
done
cmp -s "$build/share/tvnn/trans.conf" "$root/NlsUtils/catalog/trans.conf" ||
  fail "the build's trans.conf differs from NlsUtils/catalog/trans.conf"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "nlscompile: all checks passed"
