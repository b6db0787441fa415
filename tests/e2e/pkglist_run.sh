#!/bin/bash
# pkglist_run.sh - the package list in whole installations in the sandbox: the sample
# list's command lines, updates that find their links in place, a link left by an
# earlier installation elsewhere, the sed edit beside a planted /tmp/setup.tmp, a
# checkps line the operator quits at, and lines that are refused.
#   tests/e2e/pkglist_run.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

D=/usr/Kandu/tvnn
W=/tmp/KanduInstall/pkg

# True when the log holds the command TEXT (with PREFIX: a command that begins with
# TEXT), compared without the shell and the command's directory ("/usr/bin/sh -c
# \"/usr/bin/"); assert_cmd asserts it for each TEXT, assert_no_cmd the opposite of the
# prefix form.
log_cmds() {
  [ -n "$E2E_LOG" ] && awk -v t="$1" -v prefix="${2:-}" '{ s = $0 }
    sub(/^\/[^ ]*\/sh -c "\/[^ ]*\//, "", s) && (s == t || (prefix && index(s, t) == 1)) { f = 1 }
    END { exit !f }' "$E2E_LOG"
}
assert_cmd() {
  local c
  for c in "$@"; do log_cmds "$c" && e2e_pass "command: $c" || e2e_fail "no command '$c' in the log"; done
}
assert_no_cmd() {
  local c
  for c in "$@"; do
    [ -n "$E2E_LOG" ] && ! log_cmds "$c" 1 && e2e_pass "no command: $c" ||
      e2e_fail "command '$c' in the log (or no log)"
  done
}

# ---------------------------------------------------------------------------------
e2e_case "the sample list on a first installation"
e2e_run_setup --
e2e_assert_status 0
assert_cmd "cp -p $W/tvrtvnntty $D" "chmod  755 $D/tvrtvnntty" "chown  -R root $D/tvrtvnntty" \
  "chgrp  -R lp $D/tvrtvnntty" "chgrp  -R root $D/qmf"
assert_cmd "sed  -e s#@SPOOL@#/var/spool/Kandu/tvnn# -e s#@VERSION@#4.10.05# $D/tavlo.conf > /tmp/setup.tmp 2>>/tmp/setup.log #" \
  "chmod  644 $D/tavlo.conf" "sed  s/@HOST@/localhost/ $D/tavlo.conf > /tmp/setup.tmp 2>>/tmp/setup.log #"
assert_cmd "cp -p $W/README.txt $D" "chmod  444 $D/README.txt" "mv -f $D/README.txt $D/README" "cp -pr $W/lib $D"
assert_cmd "cp -pr $W/KanduTavlo /usr/share/doc" "mkdir -p $D/etc" "chmod  775 $D/etc" "ln  -s $D/etc /etc/tavlo"
assert_cmd "chown  -R lp $D/queues" "touch  $D/log/tavlo.log" "chmod  666 $D/log/tavlo.log" "cp -p $W/tvpp $D"
assert_no_cmd "cp -p $W/tvpp.old"
e2e_assert_file_lacks "$E2E_LOG" "server      localhost"  # the edited text is not in the log
kept=$(e2e_state_file $D/tavlo.conf) &&
  e2e_assert_file_is "$kept" $'# tavlo.conf - settings of the Tavlo print daemon (filled in by setup)\nversion     4.10.05\nspool       /var/spool/Kandu/tvnn\nserver      localhost\nport        7100\n'
e2e_assert_created "$D/tavlo.conf file 0644 root root" "$D/README file 0444" "$D/tvpp file 0755" \
  "$D/log dir 0777" "$D/log/tavlo.log file 0666" "$D/queues dir 0775 lp lp" \
  "$D/lib/gtk/modules/etc/pango/pangorc file" \
  "/usr/share/doc/KanduTavlo dir" "/usr/share/doc/KanduTavlo/README file" "/etc/tavlo link - - - $D/etc" \
  "/usr/bin/tvadmin file 0755 root root" "/usr/bin/tavlo file 0755 root root"
e2e_assert_unchanged $D/README.txt $D/tvpp.old /tmp/setup.tmp
kept=$(e2e_state_file /usr/bin/tvadmin) &&
  e2e_assert_file_has "$kept" $'\nTavloFileSourceDir=`pwd`\nexport TavloFileSourceDir\n\ncd /usr/Kandu/tvnn\nexec /usr/Kandu/tvnn/tvadmin $*'

e2e_case "an update runs the list again; existing directories skip their lines"
e2e_run_setup --prepare "$FIRST_USR" --stdin y --
e2e_assert_status 0
assert_cmd "cp -p $W/tvrtvnntty $D"
assert_no_cmd "mkdir -p $D/etc" "ln  -s $D/etc"
e2e_assert_unchanged /etc/tavlo

# ---------------------------------------------------------------------------------
e2e_make_list_dist links 'c tvadmin mode 755 link /usr/local/bin/tvadmin
dir help link /usr/local/share
c tvqadmin mode 755
'
LINKS_DIST=$E2E_DIST
FIRST_LINKS="cd $LINKS_DIST && ./setup </dev/null >/dev/null 2>&1"

e2e_case "links of the first installation"
e2e_run_setup --dist "$LINKS_DIST" --
e2e_assert_status 0
assert_cmd "ln  -s $D/tvadmin /usr/local/bin/tvadmin" "ln  -s $D/help /usr/local/share"
e2e_assert_created "/usr/local/bin/tvadmin link - - - $D/tvadmin" "/usr/local/share/help link - - - $D/help"

e2e_case "an update keeps the links in place"
e2e_run_setup --dist "$LINKS_DIST" --prepare "$FIRST_LINKS" --
e2e_assert_status 0
e2e_assert_log_has "link /usr/local/bin/tvadmin -> $D/tvadmin is in place" \
  "link /usr/local/share/help -> $D/help is in place"
assert_no_cmd "ln  -s"
e2e_assert_unchanged /usr/local/bin/tvadmin /usr/local/share/help/help

e2e_case "a link of an earlier installation elsewhere is replaced"
e2e_run_setup --dist "$LINKS_DIST" --prepare "$FIRST_LINKS" -- install /opt
e2e_assert_status 0
e2e_assert_log_has "link /usr/local/bin/tvadmin points elsewhere: replaced"
assert_cmd "rm -f /usr/local/bin/tvadmin" "ln  -s /opt/Kandu/tvnn/tvadmin /usr/local/bin/tvadmin"

e2e_case "a file where a link should stand ends the run"
e2e_run_setup --dist "$LINKS_DIST" --prepare 'mkdir -p /usr/local/bin && echo mine >/usr/local/bin/tvadmin' --
e2e_assert_status 1
assert_cmd "ln  -s $D/tvadmin /usr/local/bin/tvadmin"
e2e_assert_log_has "ERROR: command exited with status 1"
e2e_assert_unchanged /usr/local/bin/tvadmin

# ---------------------------------------------------------------------------------
e2e_case "sed removes what stands at /tmp/setup.tmp and never writes through it"
e2e_run_setup --dist "$SAMPLE" --prepare 'echo secret >/etc/victim && ln -s /etc/victim /tmp/setup.tmp' --
e2e_assert_status 0
e2e_assert_unchanged /etc/victim
e2e_assert_log_has "removing /tmp/setup.tmp before the edit"
assert_cmd "rm -rf /tmp/setup.tmp"
kept=$(e2e_state_file $D/tavlo.conf) && e2e_assert_file_has "$kept" "server      localhost"
[ ! -e "$E2E_STATE/tmp/setup.tmp" ] && [ ! -L "$E2E_STATE/tmp/setup.tmp" ] &&
  e2e_pass "no /tmp/setup.tmp afterwards" || e2e_fail "/tmp/setup.tmp is left"

# ---------------------------------------------------------------------------------
e2e_case "quitting at a checkps line stops the list and the installation"
e2e_run_setup --dist "$SAMPLE" --prepare "cp /bin/sleep /opt/TavloD && (/opt/TavloD 60 </dev/null >/dev/null 2>&1 &)" --stdin 2 --
e2e_assert_status 0
e2e_assert_stdout_has "TavloD ( "
assert_no_cmd "cp -p $W/tvrtvnntty" "chmod  4755"
e2e_assert_unchanged /tmp/KanduInstall

# ---------------------------------------------------------------------------------
e2e_make_list_dist refused 'c
dirto KanduTavlo
v
v >=
checkps
newdir
c tvadmin mode 755 bat ../sbin/evil bat .tvadmin bat tvadmin
c tvqadmin mode 755
c tvrtvnntty mode 755
c qmf mode 755
'
e2e_case "lines lacking a word and launcher names outside /usr/bin are refused"
e2e_run_setup --
e2e_assert_status 0
W1="WARNING: pkg.list:"
e2e_assert_log_has "$W1 'c' lacks its name, line skipped: c" \
  "$W1 'dirto' lacks its destination, line skipped: dirto KanduTavlo" "$W1 'v' lacks its operator, line skipped: v" \
  "$W1 'v' lacks its release, line skipped: v >=" "$W1 'checkps' lacks its list of programs, line skipped: checkps" \
  "$W1 'newdir' lacks its name, line skipped: newdir" \
  "$W1 launcher name '../sbin/evil' refused, it would not stand in /usr/bin" \
  "$W1 launcher name '.tvadmin' refused, it would not stand in /usr/bin"
e2e_assert_unchanged /usr/sbin/evil /usr/bin/.tvadmin
e2e_assert_change created /usr/bin/tvadmin file 0755
assert_cmd "chmod  755 $D/tvadmin"

e2e_finish
