#!/bin/bash
# demo.sh - the README's demo: both runs of setup in the sandbox, their reports, the
# log, the checks of the state they leave, and the demo's refusals and failures.
#   tests/e2e/demo.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
e2e_require_setup
# Without root the sandbox works through a user namespace, where setup cannot write
# the launchers into /usr/bin.
[ "$(id -u)" = 0 ] || e2e_skip "the demo installs into /usr/bin, which only root's sandbox may write"
S=$E2E_SCRATCH
DEMO=$E2E_ROOT/tools/demo

# Runs the demo with the given arguments; its output in $S/NAME.out and .err, its
# status in DEMO_STATUS.
run_demo() {
  local name=$1
  shift
  DEMO_OUT=$S/$name.out
  DEMO_ERR=$S/$name.err
  DEMO_STATUS=0
  "$DEMO" "$@" </dev/null >"$DEMO_OUT" 2>"$DEMO_ERR" || DEMO_STATUS=$?
}

# The lines of the demo's section whose heading begins with TITLE, up to the next
# "====" heading.
section() {
  awk -v t="==== $1" 'index($0, "==== ") == 1 { on = (index($0, t) == 1); next } on' "$DEMO_OUT"
}

# A section holds a line exactly (the section is read whole first: grep -q in a
# pipeline would end awk early, which pipefail counts as a failure).
assert_section_line() {
  local text line
  text=$(section "$1")
  for line in "${@:2}"; do
    if grep -qxF -- "$line" <<<"$text"; then
      e2e_pass "$1 ... has '$line'"
    else
      e2e_fail "$1 ... lacks the line '$line'"
    fi
  done
}

# A section holds a text (a fixed string, anywhere).
assert_section_has() {
  [[ "$(section "$1")" == *"$2"* ]] && e2e_pass "$1 ... has '$2'" || e2e_fail "$1 ... lacks '$2'"
}

# The last demo ended with STATUS.
assert_demo_status() {
  [ "$DEMO_STATUS" = "$1" ] && e2e_pass "demo status $1" ||
    e2e_fail "demo status $DEMO_STATUS: $(tail -n 5 "$DEMO_ERR") $(grep '^FAIL' "$DEMO_OUT" | head -n 5)"
}

# The machine's own paths that the runs install to, for the comparison afterwards.
host_state() {
  local p
  for p in /usr/Kandu /opt/Kandu /var/spool/Kandu /etc/tavlo /usr/bin/tvadmin /usr/bin/tavlo; do
    if [ -e "$p" ] || [ -L "$p" ]; then echo "$p present"; else echo "$p absent"; fi
  done
}

# ---------------------------------------------------------------------------------
e2e_case "the demo installs into /usr, then moves the installation to /opt"
host_before=$(host_state)
run_demo full --build "$E2E_BUILD" --no-build --work "$S/demo"
assert_demo_status 0
R1="Run 1: first installation into /usr"
R2="Run 2: update moved to /opt"
assert_section_line "$R1" "--- exit status: 0 ---" "  created  dir    0755 root:root  /usr/Kandu/tvnn" \
  "  created  file   4755 root:root  /usr/Kandu/tvnn/qmf" "  created  dir    0775 root:root  /var/spool/Kandu" \
  "  created  dir    0777 root:root  /var/spool/Kandu/tvnn/__tva_download__" "/opt: no change" "  tvqadmin -upgrade"
assert_section_line "$R2" "y" "--- exit status: 0 ---" "  created  dir    0755 root:root  /opt/Kandu/tvnn" \
  "  created  file   4755 root:root  /opt/Kandu/tvnn/qmf" "  removed  file   4755 root:root  /usr/Kandu/tvnn/qmf" \
  "  changed  link   0777 root:root  /usr/Kandu/tvnn -> /opt/Kandu/tvnn  (type dir -> link)"
# Run 2 started from run 1's state: the spool tree and /etc/tavlo were already there.
assert_section_line "$R2" "/etc: no change" "/var: no change"
assert_section_has "$R2" 'Do You want to continue with the installation'
assert_section_line "/tmp/setup.log of run 2" "initializing system"
assert_section_has "/tmp/setup.log of run 2" 'ln  -s /opt/Kandu/tvnn /usr/Kandu/tvnn'
assert_section_line "Checks" "ok: run2: /usr/Kandu/tvnn link -> /opt/Kandu/tvnn"
e2e_assert_file_lacks "$DEMO_OUT" "FAIL"
e2e_assert_file_has "$DEMO_OUT" "  checks: 24 passed, 0 failed"
e2e_assert_file_has "$DEMO_OUT" \
  "demo: both runs ended with status 0 and left the expected state; the machine itself was not touched"
e2e_assert_file_is "$DEMO_ERR" ""
[ "$(host_state)" = "$host_before" ] && e2e_pass "the machine's own trees are as before" ||
  e2e_fail "the machine changed: $(host_state | tr '\n' ' ')"
[ ! -e /usr/Kandu ] && [ ! -L /usr/Kandu ] && e2e_pass "the machine's /usr has no Kandu" ||
  e2e_fail "the machine's /usr has Kandu"

e2e_case "a second demo empties the folder of the first"
: >"$S/demo/leftover"
run_demo again --build "$E2E_BUILD" --no-build --work "$S/demo" --quiet
assert_demo_status 0
[ ! -e "$S/demo/leftover" ] && e2e_pass "the earlier files are gone" || e2e_fail "the leftover stayed"
e2e_assert_file_lacks "$DEMO_OUT" "==== Run 1"
e2e_assert_file_has "$DEMO_OUT" "  run 2  ./setup install /opt    status 0, 76 host change(s)"

# ---------------------------------------------------------------------------------
e2e_case "an installer that installs nothing fails the demo, which names what is missing"
# The fake's first run removes a file of the machine's /etc and empties and refills a
# folder of its /usr/share (in the sandbox); its second run shows what it finds, so
# the state carried from run 1 to run 2 is seen, removals included.
victim_file=$(find /etc -maxdepth 1 -type f -name '[a-z]*' | LC_ALL=C sort | head -n 1)
victim_dir=$(find /usr/share -mindepth 1 -maxdepth 1 -type d ! -empty -name '[a-z]*' | LC_ALL=C sort | head -n 1)
mkdir -p "$S/fake/bin"
cat >"$S/fake/bin/setup" <<FAKE
#!/bin/sh
# A fake installer for this suite, only ever run by tools/demo in the sandbox, where
# pid 1 is the sandbox itself.
grep -q -- --inner /proc/1/cmdline 2>/dev/null || { echo "not in the sandbox" >&2; exit 99; }
echo "fake setup \$*"
if [ "\$1" = install ]; then
  [ -e $victim_file ] && echo "file: present" || echo "file: absent"
  echo "dir: \$(ls -A $victim_dir | tr '\n' ' ')"
  [ -f /usr/Kandu/marker ] && echo "marker: present"
  echo "ERROR: relocation failed" >&2
  exit 1
fi
mkdir -p /usr/Kandu && echo m >/usr/Kandu/marker
rm -f $victim_file
rm -rf $victim_dir && mkdir $victim_dir && echo new >$victim_dir/new
exit 0
FAKE
chmod 755 "$S/fake/bin/setup"
run_demo fake --build "$S/fake" --no-build --quiet
assert_demo_status 1
e2e_assert_file_has "$DEMO_OUT" "FAIL: run1: /usr/Kandu/tvnn was not made"
e2e_assert_file_has "$DEMO_OUT" "FAIL: run1: /var/spool/Kandu was not made"
e2e_assert_file_has "$DEMO_OUT" "FAIL: run2 ended with status 1 (its standard error: ERROR: relocation failed )"
e2e_assert_file_has "$DEMO_OUT" "FAIL: run2: /usr/Kandu/tvnn was not made"
e2e_assert_file_lacks "$DEMO_OUT" "ok: run1"
e2e_assert_file_has "$DEMO_ERR" "demo: FAILED: 19 check(s) did not hold"
[ -d "$S/fake/demo/run2/state" ] && e2e_pass "the default demo folder is <build>/demo" ||
  e2e_fail "no $S/fake/demo/run2/state"
e2e_assert_file_is "$S/fake/demo/run2/stdout" "fake setup install /opt
file: absent
dir: new 
marker: present
"
[ -e "$victim_file" ] && [ ! -e "$victim_dir/new" ] && e2e_pass "the machine's $victim_file and $victim_dir are as they were" ||
  e2e_fail "the fake changed the machine's $victim_file or $victim_dir"

# ---------------------------------------------------------------------------------
e2e_case "the demo refuses what it cannot do safely"
run_demo usage --bogus
assert_demo_status 2
e2e_assert_file_has "$DEMO_ERR" "demo: unknown argument --bogus"
mkdir -p "$S/foreign"
: >"$S/foreign/precious"
run_demo foreign --build "$E2E_BUILD" --no-build --work "$S/foreign"
assert_demo_status 3
e2e_assert_file_has "$DEMO_ERR" "demo: $S/foreign is not empty and was not made by tools/demo: choose another with --work"
[ -f "$S/foreign/precious" ] && e2e_pass "its file stays" || e2e_fail "the folder's file was removed"
run_demo tmpwork --build "$E2E_BUILD" --no-build --work /tmp/kandu-demo-e2e
assert_demo_status 3
e2e_assert_file_has "$DEMO_ERR" "lies in /tmp, which the sandbox replaces"
run_demo nosetup --build "$S/nothing-built" --no-build --work "$S/nosetup"
assert_demo_status 3
e2e_assert_file_has "$DEMO_ERR" "demo: no installer at $S/nothing-built/bin/setup"

e2e_finish
