#!/bin/bash
# demo.sh - the README's demo: both runs of setup in the sandbox, their reports and log,
# the checks of the state they leave, and the demo's refusals and failures.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"
# Without root the sandbox works through a user namespace, where setup cannot write the
# launchers into /usr/bin.
[ "$(id -u)" = 0 ] || e2e_skip "the demo installs into /usr/bin, which only root's sandbox may write"
S=$E2E_SCRATCH

# demo NAME STATUS ARGS...: the demo ends with STATUS; its output in $S/NAME.out, .err.
demo() {
  local name=$1 want=$2
  shift 2
  OUT=$S/$name.out ERR=$S/$name.err
  "$E2E_ROOT/tools/demo" "$@" </dev/null >"$OUT" 2>"$ERR"
  e2e_assert_eq "demo $name: status" "$?" "$want"
}

# The machine's own paths that the runs install to.
host_state() { ls -d /usr/Kandu /opt/Kandu /var/spool/Kandu /etc/tavlo /usr/bin/tvadmin /usr/bin/tavlo 2>/dev/null; }

e2e_case "the demo installs into /usr, then moves the installation to /opt"
host_before=$(host_state)
demo full 0 --build "$E2E_BUILD" --no-build --work "$S/demo"
# What happened comes first, before the full listings.
e2e_assert_eq "the first lines after the distribution" "$(sed -n '3,7p' "$OUT" | sed -e 's/^.*: //' -e 's/^ *//')" \
  "$(printf '%s\n' "what happened" "installed into /usr/Kandu/tvnn (36 entries)" \
    "47 host change(s) (47 created, 0 changed, 0 removed)" "moved /usr/Kandu/tvnn to /opt/Kandu/tvnn (/usr/Kandu/tvnn is now a link to it)" \
    "76 host change(s) (37 created, 4 changed, 35 removed)")"
# Run 1 changes nothing in /opt; run 2 starts from its state (/etc/tavlo is there).
e2e_assert_file_has "$OUT" "  created  file   4755 root:root  /usr/Kandu/tvnn/qmf" "/opt: no change" "  tvqadmin -upgrade" \
  "/etc: no change" "  changed  link   0777 root:root  /usr/Kandu/tvnn -> /opt/Kandu/tvnn  (type dir -> link)" \
  "initializing system" "ok: run2: /usr/Kandu/tvnn link -> /opt/Kandu/tvnn" "  checks: 24 passed, 0 failed"
e2e_assert_eq "runs that ended with 0; FAIL lines, stderr" \
  "$(grep -cx -- '--- exit status: 0 ---' "$OUT") $(grep -c FAIL "$OUT")$(cat "$ERR")" "2 0"
e2e_assert_eq "the machine's own trees" "$(host_state)" "$host_before"

e2e_case "a second demo empties the folder of the first"
: >"$S/demo/leftover"
demo again 0 --build "$E2E_BUILD" --no-build --work "$S/demo" --quiet
e2e_check "the earlier files are gone" test ! -e "$S/demo/leftover"
e2e_assert_file_has "$OUT" "  run 2  ./setup install /opt    status 0: moved"

# A fake installer, only ever run by tools/demo in the sandbox (pid 1 is the sandbox):
# its first run leaves a mark and installs nothing, its second says whether it finds
# the mark (run 2 starts from run 1's state) and fails.
e2e_case "an installer that installs nothing fails the demo, which names what is missing"
mkdir -p "$S/fake/bin"
cat >"$S/fake/bin/setup" <<'FAKE'
#!/bin/sh
grep -q -- --inner /proc/1/cmdline 2>/dev/null || { echo "not in the sandbox" >&2; exit 99; }
[ "$1" = install ] || { echo m >/etc/kandu-demo-mark; exit 0; }
cat /etc/kandu-demo-mark
echo "ERROR: relocation failed" >&2
exit 1
FAKE
chmod 755 "$S/fake/bin/setup"
ln -sf "$E2E_BUILD/bin/pkgcheck" "$S/fake/bin/pkgcheck"  # mkdist's check of the sample's list
demo fake 1 --build "$S/fake" --no-build --quiet
e2e_assert_file_has "$OUT" "FAIL: run1: /usr/Kandu/tvnn was not made" \
  "FAIL: run2 ended with status 1 (its standard error: ERROR: relocation failed )"
e2e_assert_file_has "$ERR" "demo: FAILED: 19 check(s) did not hold"
e2e_assert_eq "run 2 found run 1's mark (the default demo folder is <build>/demo)" "$(cat "$S/fake/demo/run2/stdout")" m
e2e_check "the machine has no mark" test ! -e /etc/kandu-demo-mark

e2e_case "the demo refuses what it cannot do safely"
mkdir -p "$S/foreign"
: >"$S/foreign/precious"
for row in "2|demo: unknown argument --bogus|--bogus" \
  "3|demo: $S/foreign is not empty and was not made by tools/demo: choose another with --work|--work $S/foreign" \
  "3|lies in /usr, which the sandbox replaces|--work /usr/kandu-demo-e2e" \
  "3|demo: no installer at $S/nothing-built/bin/setup|--build $S/nothing-built --work $S/nosetup"; do
  IFS='|' read -r status text args <<<"$row"
  # shellcheck disable=SC2086
  demo refused "$status" --build "$E2E_BUILD" --no-build $args
  e2e_assert_file_has "$ERR" "$text"
done
e2e_check "the foreign folder's file stays" test -f "$S/foreign/precious"

e2e_finish
