#!/bin/bash
# nlscompile.sh - the catalogue compiler from its command line: usage and refused
# arguments, a good source, a faulty one with its lines and the old catalogue kept,
# and the tool directory of the build.
#   tests/e2e/nlscompile.sh BUILD_DIR
. "$(dirname "$0")/lib.sh"
e2e_tool_suite nlscompile "$@"
dir=$(mktemp -d "$build/e2e-nlscompile.XXXXXX")
trap 'rm -rf "$dir"' EXIT
src=$dir/src.msg out=$dir/tool/db/en_US/T.xdb E2E_STDERR=$dir/err

# run STATUS ARGS...: runs nlscompile and checks its exit status; standard error in $E2E_STDERR.
run() {
  "$TOOL" "${@:2}" 2>"$E2E_STDERR" >/dev/null
  E2E_STATUS=$?
  e2e_assert_status "$1"
}

e2e_case "usage and refused arguments"
run 2
e2e_assert_eq "the usage on standard error as --help shows it" "$(head -n 1 "$E2E_STDERR")" "$("$TOOL" --help | head -1)"
run 2 "$src" "$dir/tool" ../en T
run 1 "$dir/none.msg" "$dir/tool" en_US T
e2e_assert_file_has "$E2E_STDERR" "$dir/none.msg"

e2e_case "a good source, faulty ones, and the build's catalogues"
printf '# menu texts\n25 201 "Enter a selection: "\nkey:SAVE "Save"\n' >"$src"
run 0 "$src" "$dir/tool" en_US T
e2e_assert_eq "a typed catalogue of 2 records, mode 644" "$(head -c 7 "$out") $(stat -c %a "$out")" "TXDBAA2 644"
cp "$out" "$dir/good.xdb"
printf '25 201 "a"\n25 202 Accept\n25 201 "again"\n' >"$src"
run 1 "$src" "$dir/tool" en_US T
e2e_assert_eq "each fault is reported with its line" "$(cut -d: -f2 "$E2E_STDERR" | tr '\n' ' ')" "2 3 "
e2e_assert_eq "the old catalogue is kept" "$(cmp "$out" "$dir/good.xdb" && echo same)" same
printf '1 1 "%s"\n' "$(printf '%2048s' '')" >"$src"
run 1 "$src" "$dir/tool" en_US T
run 0 --long "$src" "$dir/tool" en_US T

tool=$build/share/tvnn
e2e_assert_eq "the build's tool directory: trans.conf and the core catalogue" \
  "$(cmp "$tool/trans.conf" "$root/NlsUtils/catalog/trans.conf" && head -c 6 "$tool/db/en_US/CoreString.xdb")" TXDBAA
e2e_finish
