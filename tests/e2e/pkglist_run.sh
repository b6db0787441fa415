#!/bin/bash
# pkglist_run.sh - the package list in whole installations in the sandbox: the sample
# list's command lines, updates that find their links in place, a link left by an
# earlier installation elsewhere, the sed edit beside a planted /tmp/setup.tmp, a
# checkps line the operator quits at, and lines that are refused.
#   tests/e2e/pkglist_run.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

FIRST_USR='./setup </dev/null >/dev/null 2>&1'
D=/usr/Kandu/tvnn
W=/tmp/KanduInstall/pkg

# True when the log holds the command TEXT (with PREFIX: a command that begins with
# TEXT), compared without the shell and the command's directory ("/usr/bin/sh -c
# \"/usr/bin/"); assert_cmd asserts it, assert_no_cmd the opposite of the prefix form.
log_cmds() {
  [ -n "$E2E_LOG" ] && awk -v t="$1" -v prefix="${2:-}" '{ s = $0 }
    sub(/^\/[^ ]*\/sh -c "\/[^ ]*\//, "", s) && (s == t || (prefix && index(s, t) == 1)) { f = 1 }
    END { exit !f }' "$E2E_LOG"
}
assert_cmd() { log_cmds "$1" && e2e_pass "command: $1" || e2e_fail "no command '$1' in the log"; }
assert_no_cmd() {
  [ -n "$E2E_LOG" ] && ! log_cmds "$1" 1 && e2e_pass "no command: $1" || e2e_fail "command '$1' in the log (or no log)"
}

# ---------------------------------------------------------------------------------
e2e_case "the sample list on a first installation"
e2e_run_setup --
e2e_assert_status 0
assert_cmd "cp -p $W/tvrtvnntty $D"
assert_cmd "chmod  755 $D/tvrtvnntty"
assert_cmd "chown  -R root $D/tvrtvnntty"
assert_cmd "chgrp  -R lp $D/tvrtvnntty"
assert_cmd "chgrp  -R root $D/qmf"
assert_cmd "sed  -e s#@SPOOL@#/var/spool/Kandu/tvnn# -e s#@VERSION@#4.10.05# $D/tavlo.conf > /tmp/setup.tmp 2>>/tmp/setup.log #"
assert_cmd "chmod  644 $D/tavlo.conf"
assert_cmd "sed  s/@HOST@/localhost/ $D/tavlo.conf > /tmp/setup.tmp 2>>/tmp/setup.log #"
assert_cmd "cp -p $W/README.txt $D"
assert_cmd "chmod  444 $D/README.txt"
assert_cmd "mv -f $D/README.txt $D/README"
assert_cmd "cp -pr $W/lib $D"
assert_cmd "cp -pr $W/KanduTavlo /usr/share/doc"
assert_cmd "mkdir -p $D/etc"
assert_cmd "chmod  775 $D/etc"
assert_cmd "ln  -s $D/etc /etc/tavlo"
assert_cmd "chown  -R lp $D/queues"
assert_cmd "touch  $D/log/tavlo.log"
assert_cmd "chmod  666 $D/log/tavlo.log"
assert_cmd "cp -p $W/tvpp $D"
assert_no_cmd "cp -p $W/tvpp.old"
e2e_assert_file_lacks "$E2E_LOG" "server      localhost"  # the edited text is not in the log
kept=$(e2e_state_file $D/tavlo.conf) &&
  e2e_assert_file_is "$kept" $'# tavlo.conf - settings of the Tavlo print daemon (filled in by setup)\nversion     4.10.05\nspool       /var/spool/Kandu/tvnn\nserver      localhost\nport        7100\n'
e2e_assert_change created $D/tavlo.conf file 0644 root root
e2e_assert_change created $D/README file 0444
e2e_assert_unchanged $D/README.txt
e2e_assert_change created $D/tvpp file 0755
e2e_assert_unchanged $D/tvpp.old
e2e_assert_change created $D/log/tavlo.log file 0666
e2e_assert_change created $D/lib/gtk/modules/etc/pango/pangorc file
e2e_assert_change created /usr/share/doc/KanduTavlo/README file
e2e_assert_change created /etc/tavlo link - - - $D/etc
e2e_assert_change created /usr/share/doc/KanduTavlo dir
e2e_assert_change created /usr/bin/tvadmin file 0755 root root
e2e_assert_change created /usr/bin/tavlo file 0755 root root
e2e_assert_change created $D/log dir 0777
e2e_assert_change created $D/queues dir 0775 lp lp
e2e_assert_unchanged /tmp/setup.tmp
kept=$(e2e_state_file /usr/bin/tvadmin) &&
  e2e_assert_file_has "$kept" $'\nTavloFileSourceDir=`pwd`\nexport TavloFileSourceDir\n\ncd /usr/Kandu/tvnn\nexec /usr/Kandu/tvnn/tvadmin $*'

e2e_case "an update runs the list again; existing directories skip their lines"
e2e_run_setup --prepare "$FIRST_USR" --stdin y --
e2e_assert_status 0
assert_cmd "cp -p $W/tvrtvnntty $D"
assert_no_cmd "mkdir -p $D/etc"
assert_no_cmd "ln  -s $D/etc"
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
assert_cmd "ln  -s $D/tvadmin /usr/local/bin/tvadmin"
assert_cmd "ln  -s $D/help /usr/local/share"
e2e_assert_change created /usr/local/bin/tvadmin link - - - $D/tvadmin
e2e_assert_change created /usr/local/share/help link - - - $D/help

e2e_case "an update keeps the links in place"
e2e_run_setup --dist "$LINKS_DIST" --prepare "$FIRST_LINKS" --
e2e_assert_status 0
e2e_assert_log_has "link /usr/local/bin/tvadmin -> $D/tvadmin is in place"
e2e_assert_log_has "link /usr/local/share/help -> $D/help is in place"
assert_no_cmd "ln  -s"
e2e_assert_unchanged /usr/local/bin/tvadmin
e2e_assert_unchanged /usr/local/share/help/help

e2e_case "a link of an earlier installation elsewhere is replaced"
e2e_run_setup --dist "$LINKS_DIST" --prepare "$FIRST_LINKS" -- install /opt
e2e_assert_status 0
e2e_assert_log_has "link /usr/local/bin/tvadmin points elsewhere: replaced"
assert_cmd "rm -f /usr/local/bin/tvadmin"
assert_cmd "ln  -s /opt/Kandu/tvnn/tvadmin /usr/local/bin/tvadmin"

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
assert_no_cmd "cp -p $W/tvrtvnntty"
assert_no_cmd "chmod  4755"
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
e2e_assert_log_has "WARNING: pkg.list: 'c' lacks its name, line skipped: c"
e2e_assert_log_has "WARNING: pkg.list: 'dirto' lacks its destination, line skipped: dirto KanduTavlo"
e2e_assert_log_has "WARNING: pkg.list: 'v' lacks its operator, line skipped: v"
e2e_assert_log_has "WARNING: pkg.list: 'v' lacks its release, line skipped: v >="
e2e_assert_log_has "WARNING: pkg.list: 'checkps' lacks its list of programs, line skipped: checkps"
e2e_assert_log_has "WARNING: pkg.list: 'newdir' lacks its name, line skipped: newdir"
e2e_assert_log_has "WARNING: pkg.list: launcher name '../sbin/evil' refused, it would not stand in /usr/bin"
e2e_assert_log_has "WARNING: pkg.list: launcher name '.tvadmin' refused, it would not stand in /usr/bin"
e2e_assert_unchanged /usr/sbin/evil
e2e_assert_unchanged /usr/bin/.tvadmin
e2e_assert_change created /usr/bin/tvadmin file 0755
assert_cmd "chmod  755 $D/tvadmin"

e2e_finish
