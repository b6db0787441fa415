#!/bin/bash
# xdb.sh - the record file tool as a user drives it: its commands and exit statuses, both
# formats, values of any bytes, missing keys and files, damaged files left alone.
#   tests/e2e/xdb.sh BUILD_DIR
set -uo pipefail

. "$(dirname "$0")/lib.sh"
e2e_tool_suite xdb "$@"

s=$(mktemp -d "${TMPDIR:-/tmp}/e2e-xdb.XXXXXX")
trap 'rm -rf "$s"' EXIT
mkdir "$s/w" && cd "$s/w" || exit 1
E2E_STDERR=$s/err

# x STATUS STDOUT STDERR ARGS...: runs xdb with ARGS, standard input from $IN (default
# /dev/null), standard output to $OUTF (default $s/out); checks the exit status, the
# whole standard output (not when STDOUT is "*"; final line feeds aside) and that
# standard error holds STDERR (is empty for "").
x() {
  local out=$2 err=$3
  e2e_case "xdb ${*:4}"
  "$TOOL" "${@:4}" <"${IN:-/dev/null}" >"${OUTF:-$s/out}" 2>"$s/err"
  E2E_STATUS=$?
  e2e_assert_status "$1"
  [ "$out" = "*" ] || e2e_assert_eq "standard output" "$(cat "$s/out")" "$out"
  if [ -z "$err" ]; then e2e_assert_eq "standard error" "$(cat "$s/err")" ""; else e2e_assert_file_has "$s/err" "$err"; fi
}
keep() { cp "$1" "$s/$1.copy"; }
unchanged() { e2e_check "$1 unchanged" cmp -s "$1" "$s/$1.copy"; }

x 2 "" "usage: xdb COMMAND DB"
x 0 "*" "" --help
e2e_assert_file_has "$s/out" "xdb delete-prefix DB PREFIX"
x 2 "" "xdb: unknown command: frobnicate" frobnicate x.xdb
x 2 "" "usage: xdb get [--escaped] DB KEY" get x.xdb
x 2 "" "usage: xdb list DB" list a.xdb b.xdb
x 2 "" "xdb: the prefix must not be empty" delete-prefix x.xdb ""

# A new file is typed; a key stored again moves to the end; no temporary file stays.
x 0 "" "" put new.xdb a xyz
x 0 "" "" put new.xdb bc 12
x 0 "" "" put new.xdb a Q
x 0 $'bc\na' "" list new.xdb
x 0 "Q" "" get new.xdb a
e2e_assert_eq "files" "$(ls)" "new.xdb"

# Values of any bytes come from standard input and come back unchanged; dump escapes them.
printf 'line one\n\000\377\t"q\\\r' >"$s/bin"
IN=$s/bin x 0 "" "" put new.xdb blob
x 0 "*" "" get new.xdb blob
e2e_check "value read back" cmp -s "$s/out" "$s/bin"
x 0 "*" "" dump new.xdb
e2e_assert_file_has "$s/out" "new.xdb: typed format (TXDBAA header, big-endian lengths); 57 bytes; 3 records; header count 3" \
  '32: L 23 k 5 key "blob" value "line one\n\x00\xff\t\"q\\\r"'

# A missing key or file: status 1, nothing written or created.
keep new.xdb
x 1 "" "xdb: new.xdb: no record with the key zz" get new.xdb zz
x 1 "" "xdb: new.xdb: no record with the key zz" delete new.xdb zz
unchanged new.xdb
for cmd in "list none.xdb" "get none.xdb a" "delete none.xdb a" "delete-prefix none.xdb a" "dump none.xdb"; do
  x 1 "" "xdb: none.xdb: No such file or directory" $cmd
done
x 0 "" "" delete new.xdb blob
x 0 "" "" delete-prefix new.xdb b
x 0 "a" "" list new.xdb
keep new.xdb
x 0 "" "" delete-prefix new.xdb nothing
unchanged new.xdb

# A legacy file built by hand (key a, value xyz) is read and extended in its format;
# an empty file is an empty database; a path is the file, without an added extension.
printf '\007\000\002\141\141\170\001\003\172' >legacy.xdb
x 0 "xyz" "" get legacy.xdb a
x 0 "" "" put legacy.xdb k v
x 0 $'legacy.xdb: legacy format (lengths in host byte order); 16 bytes; 2 records\n0: L 7 k 2 key "a" value "xyz"\n9: L 5 k 2 key "k" value "v"' "" dump legacy.xdb
: >empty.xdb
x 0 "empty.xdb: empty (no record yet); 0 bytes; 0 records" "" dump empty.xdb
x 0 "" "" put plain a xyz
e2e_assert_eq "files" "$(ls | tr '\n' ' ')" "empty.xdb legacy.xdb new.xdb plain "

# list and get --escaped escape line feeds and bytes outside printable ASCII; count counts.
# What dump writes, load writes back into a new file byte for byte, in either format; an
# existing file, a text that is no dump and a dump of a damaged file are refused.
x 0 "" "" put new.xdb $'two\nlines' $'v\001\\'
x 0 $'a\ntwo\\nlines' "" list new.xdb
x 0 'v\x01\\' "" get --escaped new.xdb $'two\nlines'
x 0 "2" "" count new.xdb
for f in new legacy empty; do
  "$TOOL" dump $f.xdb >"$s/$f.dump"
  IN=$s/$f.dump x 0 "" "" load re-$f.xdb
  e2e_check "$f.xdb loaded back byte for byte" cmp -s $f.xdb re-$f.xdb
done
x 1 "" "xdb: re-new.xdb: exists" load re-new.xdb "$s/new.dump"
printf 'not a dump\n' >text
x 1 "" "xdb: text:1: the first line names no format" load x.xdb text
sed 's/ value "Q"/ value Q/' "$s/new.dump" >"$s/odd.dump"
x 1 "" "odd.dump:3: a malformed record" load x.xdb "$s/odd.dump"
keep text
x 1 "" "xdb: text: not a record database" count text
x 1 "" "xdb: text: not a record database" put text k v
unchanged text

# A damaged file (record a, one whose length runs past the end, record c): read up to
# the damage, status 1 past it, never changed.
printf 'TXDBAA3\000\000\000\000\000\000\000\000\000' >bad.xdb
printf '\000\007\000\002\141\000\001\003\172\177\000\000\002\142\000\061\000\005\000\002\143\000\063' >>bad.xdb
keep bad.xdb
damage="xdb: bad.xdb: corrupt record at byte 25; the records from there on cannot be read"
x 1 "a" "$damage" list bad.xdb
x 0 "xyz" "" get bad.xdb a
x 1 "" "$damage" get bad.xdb c
for cmd in "put bad.xdb n v" "delete bad.xdb a" "delete-prefix bad.xdb a"; do
  x 1 "" "$damage"$'\n'"xdb: bad.xdb: left unchanged" $cmd
done
x 1 "*" "$damage" dump bad.xdb
e2e_assert_file_has "$s/out" "25: corrupt record; 14 bytes from here on cannot be read"
cp "$s/out" "$s/bad.dump"
x 1 "" "bad.dump:4: the dump is of a damaged file" load x.xdb "$s/bad.dump"
e2e_check "nothing loaded" test ! -e x.xdb
unchanged bad.xdb

# Refused values, unreadable input, failed writes.
head -c 65524 /dev/zero | tr '\0' v >"$s/big"
IN=$s/big x 1 "" "xdb: empty.xdb: record too large: key and value take 65526 bytes, at most 65525 fit" put empty.xdb k
x 1 "" "xdb: empty.xdb: an empty value cannot be stored" put empty.xdb k ""
mkdir adir
x 1 "" "xdb: adir: Is a directory" put adir k v
IN=adir x 1 "" "xdb: cannot read standard input" put x.xdb k
x 1 "" "xdb: nodir/x.xdb: could not be written; the file is unchanged" put nodir/x.xdb a b
OUTF=/dev/full x 1 "*" "xdb: cannot write to standard output" list new.xdb
e2e_finish
