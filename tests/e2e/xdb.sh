#!/bin/bash
# xdb.sh - the record file tool as a user drives it: round trips in both formats,
# byte-exact files built by hand, missing keys and files, damaged files, exit statuses.
#   tests/e2e/xdb.sh BUILD_DIR
set -uo pipefail

. "$(dirname "$0")/lib.sh"
e2e_tool_suite xdb "$@"
xdb=$TOOL
command -v xxd >/dev/null || { echo "SKIP: xxd is missing"; exit 77; }

s=$(mktemp -d "${TMPDIR:-/tmp}/e2e-xdb.XXXXXX")
trap 'rm -rf "$s"' EXIT
cd "$s" || exit 1
failures=0
checks=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run COMMAND...: runs it, keeping its status in $status, its standard output in
# $s/out (bytes as they came) and its standard error in $err.
run() {
  "$@" >"$s/out" 2>"$s/err"
  status=$?
  err=$(cat "$s/err")
}

# try NAME STATUS STDERR ARGS...: runs xdb with ARGS, then expect.
try() {
  local name=$1 st=$2 want=$3
  shift 3
  run "$xdb" "$@"
  expect "$name" "$st" "$want"
}

# ok MESSAGE COMMAND...: one check, the command's success; the message tells a failure.
ok() {
  checks=$((checks + 1))
  "${@:2}" || fail "$1"
}

# expect NAME STATUS STDERR: checks the last run's status and whole standard error.
expect() {
  checks=$((checks + 1))
  [ "$status" = "$2" ] || fail "$1: exit status $status, expected $2 (stderr: $err)"
  [ "$err" = "$3" ] || fail "$1: standard error was:
$err
expected:
$3"
}

# expect_out NAME TEXT: the last run's standard output, exactly.
expect_out() {
  checks=$((checks + 1))
  local got
  got=$(cat "$s/out"; echo .)
  [ "$got" = "$2." ] || fail "$1: standard output was:
${got%.}
expected:
$2"
}

# expect_bytes NAME FILE HEX: the file's bytes, as plain hexadecimal; the 8 filler
# bytes of a typed header (offsets 8 to 15, pseudo-random) are given as "..".
expect_bytes() {
  checks=$((checks + 1))
  local got
  got=$(xxd -p "$2" | tr -d '\n')
  if [ "${3:16:2}" = ".." ]; then
    got="${got:0:16}................${got:32}"
  fi
  [ "$got" = "$3" ] || fail "$1: $2 holds
$got
expected
$3"
}

# expect_same NAME FILE COPY: the file was left byte for byte as the copy.
expect_same() {
  checks=$((checks + 1))
  cmp -s "$2" "$3" || fail "$1: $2 was changed"
}

filler="................"  # the header's pseudo-random bytes 8 to 15
HINT=$'\nTry \'xdb --help\'.'

# --- usage
run "$xdb"
checks=$((checks + 1))
[ "$status" = 2 ] && grep -q '^usage: xdb COMMAND DB' "$s/err" || fail "no arguments: status $status, stderr $err"
run "$xdb" --help
checks=$((checks + 1))
[ "$status" = 0 ] && grep -q '^usage: xdb COMMAND DB' "$s/out" && [ -z "$err" ] || fail "--help: status $status"
grep -q 'xdb delete-prefix DB PREFIX' "$s/out" || fail "--help does not list delete-prefix"
try "unknown command" 2 "xdb: unknown command: frobnicate$HINT" frobnicate x.xdb
try "get without a key" 2 "usage: xdb get DB KEY$HINT" get x.xdb
try "list with two files" 2 "usage: xdb list DB$HINT" list a.xdb b.xdb
try "empty prefix" 2 "xdb: the prefix must not be empty$HINT" delete-prefix x.xdb ""

# --- a new file is typed: the 25-byte file of key a and a 3-byte value
try "put into a new file" 0 "" put new.xdb a xyz
expect_bytes "new typed file" new.xdb "5458444241413100${filler}00070002610001037a"
ok "new typed file: $(stat -c %s new.xdb) bytes, expected 25" [ "$(stat -c %s new.xdb)" = 25 ]
[ ! -e new.xdb_new ] || fail "put left new.xdb_new behind"
try "get" 0 "" get new.xdb a
expect_out "get" "xyz"

# A second key, then the first replaced: it moves to the end, the count stays 2.
run "$xdb" put new.xdb bc 12
try "replace" 0 "" put new.xdb a Q
# L 6 k 3 "bc\0" chained: 62^63=01 63 00, "12" chained: 03 32; then L 5 k 2 "a\0" 61 00, "Q".
expect_bytes "replaced key at the end" new.xdb \
  "5458444241413200${filler}000700030163000332""000500026100""51"
try "list" 0 "" list new.xdb
expect_out "list" "bc
a
"

# Values with any bytes come from standard input; get gives them back unchanged.
printf 'line one\n\000\377\tend' >"$s/bin.in"
try "put from standard input" 0 "" put new.xdb blob <"$s/bin.in"
run "$xdb" get new.xdb blob
ok "binary value: get gave $(xxd -p "$s/out")" cmp -s "$s/out" "$s/bin.in"
try "dump of a typed file" 0 "" dump new.xdb
expect_out "dump of a typed file" "new.xdb: typed format (TXDBAA header, big-endian lengths); 56 bytes; 3 records; header count 3
16: L 7 k 3 key \"bc\" value \"12\"
25: L 5 k 2 key \"a\" value \"Q\"
32: L 22 k 5 key \"blob\" value \"line one\\n\\x00\\xff\\tend\"
"

# --- missing keys and files
try "get of a missing key" 1 "xdb: new.xdb: no record with the key zz" get new.xdb zz
ok "get of a missing key wrote to standard output" [ ! -s "$s/out" ]
try "a prefix is not a key" 1 "xdb: new.xdb: no record with the key b" get new.xdb b
cp new.xdb "$s/new.copy"
try "delete of a missing key" 1 "xdb: new.xdb: no record with the key zz" delete new.xdb zz
expect_same "delete of a missing key" new.xdb "$s/new.copy"
for cmd in "list none.xdb" "get none.xdb a" "delete none.xdb a" "delete-prefix none.xdb a" "dump none.xdb"; do
  try "$cmd" 1 "xdb: none.xdb: No such file or directory" $cmd
done
ok "a read or delete created none.xdb" [ ! -e none.xdb ]

# --- delete and delete-prefix
run "$xdb" put new.xdb ab 1
run "$xdb" put new.xdb abc 2
try "delete" 0 "" delete new.xdb blob
try "delete-prefix" 0 "" delete-prefix new.xdb ab
run "$xdb" list new.xdb
expect_out "after deletes" "bc
a
"
cp new.xdb "$s/new.copy"
try "delete-prefix without a match" 0 "" delete-prefix new.xdb nothing
expect_same "delete-prefix without a match" new.xdb "$s/new.copy"
run "$xdb" delete new.xdb bc
run "$xdb" delete new.xdb a
expect_bytes "all records deleted" new.xdb "5458444241413000${filler}"

# --- a legacy file, built by hand, stays legacy
# Key a, value xyz: L 7 and k 2 little-endian; payload 02 00 61 00 78 79 7a chained.
printf '\007\000\002\141\141\170\001\003\172' >legacy.xdb
try "legacy get" 0 "" get legacy.xdb a
expect_out "legacy get" "xyz"
try "legacy put" 0 "" put legacy.xdb k v
# L 5: payload 02 00 6b 00 76 chained: 02 6b 6b 76 76.
expect_bytes "legacy put appends a legacy record" legacy.xdb "0700026161780103""7a""0500026b6b7676"
run "$xdb" dump legacy.xdb
expect_out "legacy dump" "legacy.xdb: legacy format (lengths in host byte order); 16 bytes; 2 records
0: L 7 k 2 key \"a\" value \"xyz\"
9: L 5 k 2 key \"k\" value \"v\"
"
run "$xdb" delete legacy.xdb a
expect_bytes "legacy delete" legacy.xdb "0500026b6b7676"

# --- an empty file is an empty database that becomes typed
: >empty.xdb
try "list of an empty file" 0 "" list empty.xdb
expect_out "list of an empty file" ""
run "$xdb" dump empty.xdb
expect_out "dump of an empty file" "empty.xdb: empty (no record yet); 0 bytes; 0 records
"
run "$xdb" put empty.xdb a xyz
expect_bytes "empty file made typed" empty.xdb "5458444241413100${filler}00070002610001037a"

# --- the path is the file: no extension is added, nothing is written elsewhere
try "path without extension" 0 "" put plain a xyz
expect_bytes "path without extension" plain "5458444241413100${filler}00070002610001037a"
ok "put wrote beside the named file" test ! -e plain.xdb -a ! -e db

# --- damaged files: read up to the damage, never rewritten
# Record a, then a record whose L (0x7f00) runs past the end, then record c.
printf 'TXDBAA3\000\000\000\000\000\000\000\000\000' >bad.xdb
printf '\000\007\000\002\141\000\001\003\172' >>bad.xdb
printf '\177\000\000\002\142\000\061' >>bad.xdb
printf '\000\005\000\002\143\000\063' >>bad.xdb
cp bad.xdb "$s/bad.copy"
try "list of a damaged file" 1 "xdb: bad.xdb: corrupt record at byte 25; the records from there on cannot be read" list bad.xdb
expect_out "list of a damaged file" "a
"
try "get before the damage" 0 "" get bad.xdb a
expect_out "get before the damage" "xyz"
try "get behind the damage" 1 "xdb: bad.xdb: corrupt record at byte 25; the records from there on cannot be read" get bad.xdb c
for cmd in "put bad.xdb n v" "delete bad.xdb a" "delete-prefix bad.xdb a"; do
  try "$cmd" 1 "xdb: bad.xdb: corrupt record at byte 25; the records from there on cannot be read
xdb: bad.xdb: left unchanged" $cmd
  expect_same "$cmd" bad.xdb "$s/bad.copy"
done
try "dump of a damaged file" 1 "xdb: bad.xdb: corrupt record at byte 25; the records from there on cannot be read" dump bad.xdb
expect_out "dump of a damaged file" "bad.xdb: typed format (TXDBAA header, big-endian lengths); 39 bytes; 1 record; header count 3
16: L 7 k 2 key \"a\" value \"xyz\"
25: corrupt record; 14 bytes from here on cannot be read
"
# A legacy record whose key length exceeds its payload.
printf '\003\000\006\007\170' >lbad.xdb
cp lbad.xdb "$s/lbad.copy"
try "put into a damaged legacy file" 1 "xdb: lbad.xdb: corrupt record at byte 0; the records from there on cannot be read
xdb: lbad.xdb: left unchanged" put lbad.xdb a b
expect_same "put into a damaged legacy file" lbad.xdb "$s/lbad.copy"

# --- refused values and failed writes
head -c 65523 /dev/zero | tr '\0' v >"$s/most"
try "largest record" 0 "" put empty.xdb k <"$s/most"
run "$xdb" get empty.xdb k
ok "largest record: value not read back" cmp -s "$s/out" "$s/most"
cp empty.xdb "$s/empty.copy"
{ cat "$s/most"; printf v; } >"$s/toolong"
try "record too large" 1 "xdb: empty.xdb: record too large: key and value take 65526 bytes, at most 65525 fit" put empty.xdb k <"$s/toolong"
expect_same "record too large" empty.xdb "$s/empty.copy"
try "empty value" 1 "xdb: empty.xdb: an empty value cannot be stored" put empty.xdb k ""
try "write into a missing folder" 1 "ERROR: can't open file, nodir/x.xdb_new
xdb: nodir/x.xdb: could not be written; the file is unchanged" put nodir/x.xdb a b
mkdir adir
try "a folder is no record file" 1 "xdb: adir: not a regular file" put adir k v

# --- a file that cannot be replaced keeps its content
if [ "$(id -u)" != 0 ]; then
  mkdir ro && cp "$s/new.copy" ro/db.xdb && chmod 555 ro
  run "$xdb" put ro/db.xdb z z
  ok "read-only folder: status $status" [ "$status" = 1 ]
  expect_same "read-only folder" ro/db.xdb "$s/new.copy"
  chmod 755 ro
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures of $checks checks failed"
  exit 1
fi
echo "xdb: all $checks checks passed"
