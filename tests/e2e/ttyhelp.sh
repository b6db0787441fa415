#!/bin/bash
# ttyhelp.sh - the help viewer from its command line: --dump, --links and refusals, the
# shipped guide (every page renders, every link leads to a page), and a dialogue on a
# terminal (tmux): links, Back, Contents, Exit Help.
#   tests/e2e/ttyhelp.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_tool_suite ttyhelp "$@"
s=$(mktemp -d "$build/e2e-ttyhelp.XXXXXX") guide=$build/share/tvnn/help/setup.html
trap 'tmux -S "$s/sock" kill-server 2>/dev/null; rm -rf "$s"' EXIT
printf '<html><body>x<a href="#p">y</a></body></html><html page="p"><body>P</body></html>' >"$s/a.html"
echo 'no html tag' >"$s/none.html"

e2e_case "output, statuses and refusals"
# status|a fragment of the output (standard output and error)|arguments
while IFS='|' read -r want out args; do
  eval "\"\$TOOL\" $args" >"$s/out" 2>&1
  e2e_assert_eq "ttyhelp $args: status" "$?" "$want"
  e2e_assert_file_has "$s/out" "$(printf '%b' "$out")"
done <<EOF
0|x<y>\nP|--dump $s/a.html
0|2\t#p\t1\t4\t3|--links $s/a.html
0|P|--dump file://$s/a.html#q p
0|usage: ttyhelp|--help
1|ttyhelp: $s/gone.html: No such file|$s/gone.html
1|ttyhelp: $s: Is a directory|--links $s
1|/dev/null: no pages|--dump /dev/null
1|$s/none.html: no pages|--links $s/none.html
1|$s/a.html: no page named q|--dump $s/a.html q
2|usage: ttyhelp|--dump
2|usage: ttyhelp|$s/a.html more
EOF

e2e_case "the viewer names a choice that selects nothing and a link it cannot open"
printf '<html><body>See <a href="https://example.org/">the site</a></body></html>' >"$s/web.html"
printf 'zz\n\n1\n\ne\n' | "$TOOL" "$s/web.html" >"$s/out" 2>&1
e2e_assert_eq "status" "$?" 0
e2e_assert_file_has "$s/out" '"zz" is not a choice' "https://example.org/: cannot open links of this kind"

e2e_case "the guide: every page renders and every link leads to one of its pages"
todo=contents seen=""
while read -r page todo <<<"$todo" && [ -n "$page" ]; do
  [[ " $seen " == *" $page "* ]] && continue
  seen="$seen $page"
  "$TOOL" --dump "$guide" "$page" >"$s/page" && [ -s "$s/page" ] || e2e_fail "page $page does not render"
  todo="$todo $("$TOOL" --links "$guide" "$page" | awk -F'\t' '$1 == 2 { sub(/^#/, "", $2); print $2 }' | tr '\n' ' ')"
done
pages=$( (echo contents; grep -o '<html page="[^"]*"' "$guide" | cut -d'"' -f2) | sort | xargs)
e2e_assert_eq "the pages reached" "$(printf '%s\n' $seen | sort | xargs)" "$pages"

e2e_case "a dialogue on a terminal: links, Back, Contents, Exit Help"
tm() { tmux -S "$s/sock" "$@"; }
# step KEY TEXT: types KEY and Enter (nothing for ""), then waits up to 10 s for TEXT on the screen.
step() {
  [ -z "$1" ] || tm send-keys -t h "$1" Enter
  for _ in $(seq 50); do tm capture-pane -p -t h | grep -qF -- "$2" && break || sleep 0.2; done
  tm capture-pane -p -t h | grep -qF -- "$2" && e2e_pass "'$1' shows '$2'" || e2e_fail "after '$1' no '$2'"
}
tm new-session -d -s h -x 100 -y 200 "$TOOL; echo ttyhelp-ended-\$?; sleep 30" || e2e_fail "tmux cannot start"
step "" " e) Exit Help"
step 3 "| Status | When"
step b "Choose a chapter by its number"
step 5 "The package list pkg/pkg.list"
step c "Choose a chapter by its number"
step e "ttyhelp-ended-0"
e2e_finish
