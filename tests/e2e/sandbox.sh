#!/bin/bash
# sandbox.sh - proves the sandbox's isolation: the machine's trees stay as they were,
# the report names exactly what the command did, the time limit ends every process.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "$1"
SB=$E2E_SANDBOX
S=$E2E_SCRATCH
token=sbtest-$$-$RANDOM

# Fingerprint of host paths: type, mode, owner, size, times, target, content hash.
fingerprint() {
  local p
  for p in "$@"; do
    if [ -e "$p" ] || [ -L "$p" ]; then
      stat -c '%n %F %a %u %g %s %Y %N' "$p"
      [ -f "$p" ] && sha256sum "$p"
    else
      echo "$p absent"
    fi
  done
}

# Three small regular files of a host folder, none a mount point nor changed in the
# last hour (so that nothing else changes them meanwhile), for the command to change,
# chmod or remove inside the sandbox (fewer when the folder has fewer).
host_files() {
  local f n=0
  while IFS= read -r -d '' f; do
    mountpoint -q "$f" 2>/dev/null && continue
    echo "$f"
    n=$((n + 1))
    [ $n = 3 ] && return
  done < <(find "$1" -maxdepth 1 -type f -size -64k -mmin +60 -print0 2>/dev/null | sort -z)
}

# ---------------------------------------------------------------------------------
e2e_case "a run that writes in all five trees leaves the machine's trees unchanged"
# Host files to change (append), chmod and remove, where the trees have three.
declare -A chg=() mod=() del=()
for t in usr/bin etc var/lib/dpkg/info; do
  mapfile -t files < <(host_files "/$t")
  [ ${#files[@]} = 3 ] || continue
  chg[$t]=${files[0]} mod[$t]=${files[1]} del[$t]=${files[2]}
done
# Fixtures that only the preparation makes, in every tree (so /opt and /tmp too).
prepare=""
for t in usr etc var opt tmp; do
  prepare+="mkdir -p /$t/$token-base && echo base >/$t/$token-base/chg && echo base >/$t/$token-base/mod && "
  prepare+="echo base >/$t/$token-base/del && chmod 644 /$t/$token-base/mod && mkdir /$t/$token-base/gone && "
  prepare+="echo x >/$t/$token-base/gone/inner && "
done
prepare+=true
cmd=""
for t in usr etc var opt tmp; do
  cmd+="mkdir /$t/$token-new && echo new >/$t/$token-new/file && ln -s file /$t/$token-new/link && "
  cmd+="echo more >>/$t/$token-base/chg && chmod 4755 /$t/$token-base/mod && rm /$t/$token-base/del && "
  cmd+="rm -r /$t/$token-base/gone && "
done
for t in "${!chg[@]}"; do
  cmd+="echo more >>${chg[$t]} && chmod 600 ${mod[$t]} && rm ${del[$t]} && "
done
cmd+=true
watched=("${chg[@]}" "${mod[@]}" "${del[@]}")
for t in usr etc var opt tmp; do
  watched+=("/$t/$token-base" "/$t/$token-new")
done
before=$(fingerprint "${watched[@]}")
"$SB" --prepare "$prepare" --report "$S/all.tsv" --report-text "$S/all.txt" --keep "$S/all-keep" \
  -- /bin/sh -c "$cmd" >"$S/all.out" 2>&1
status=$?
after=$(fingerprint "${watched[@]}")
[ $status = 0 ] && e2e_pass "the command succeeded" || e2e_fail "status $status: $(cat "$S/all.out")"
e2e_assert_eq "the host's files are as before" "$after" "$before"
for t in usr etc var opt tmp; do
  [ ! -e "/$t/$token-new" ] && [ ! -e "/$t/$token-base" ] && e2e_pass "nothing of the run in /$t" ||
    e2e_fail "the run left /$t/$token-* on the host"
done

# The report lists exactly those changes.
expected=$(
  for t in usr etc var opt tmp; do
    printf 'created\t/%s\tdir\t0755\troot\troot\t\t\t\t\t\t\t\n' "$t/$token-new"
    printf 'created\t/%s\tfile\t0644\troot\troot\t\t\t\t\t\t\t\n' "$t/$token-new/file"
    printf 'created\t/%s\tlink\t0777\troot\troot\tfile\t\t\t\t\t\t\n' "$t/$token-new/link"
    printf 'changed\t/%s\tfile\t0644\troot\troot\t\tfile\t0644\troot\troot\t\tcontent\n' "$t/$token-base/chg"
    printf 'removed\t/%s\t\t\t\t\t\tfile\t0644\troot\troot\t\t\n' "$t/$token-base/del"
    printf 'removed\t/%s\t\t\t\t\t\tdir\t0755\troot\troot\t\t\n' "$t/$token-base/gone"
    printf 'removed\t/%s\t\t\t\t\t\tfile\t0644\troot\troot\t\t\n' "$t/$token-base/gone/inner"
    printf 'changed\t/%s\tfile\t4755\troot\troot\t\tfile\t0644\troot\troot\t\tmode\n' "$t/$token-base/mod"
  done
  for t in "${!chg[@]}"; do
    stat -c $'changed\t%n\tfile\t%a\t%U\t%G\t\tfile\t%a\t%U\t%G\t\tcontent' "${chg[$t]}"
    stat -c $'changed\t%n\tfile\t0600\t%U\t%G\t\tfile\t%a\t%U\t%G\t\tmode' "${mod[$t]}"
    stat -c $'removed\t%n\t\t\t\t\t\tfile\t%a\t%U\t%G\t\t' "${del[$t]}"
  done | awk -F'\t' -v OFS='\t' '{ if ($4 != "") $4 = sprintf("%04d", $4); $9 = sprintf("%04d", $9); print }'
)
expected=$(LC_ALL=C sort -t $'\t' -k2,2 <<<"$expected")
if [ "$(cat "$S/all.tsv")" = "$expected" ]; then
  e2e_pass "the report lists exactly the changes (${#chg[@]} host trees with files, 5 prepared)"
else
  e2e_fail "the report differs: $(diff <(echo "$expected") "$S/all.tsv")"
fi
e2e_assert_file_has "$S/all.txt" "/opt: 8 change(s)
  changed  file   0644 root:root  /opt/$token-base/chg  (content)
  removed  file   0644 root:root  /opt/$token-base/del
  removed  dir    0755 root:root  /opt/$token-base/gone
  removed  file   0644 root:root  /opt/$token-base/gone/inner
  changed  file   4755 root:root  /opt/$token-base/mod  (mode 0644 -> 4755)
  created  dir    0755 root:root  /opt/$token-new
  created  file   0644 root:root  /opt/$token-new/file
  created  link   0777 root:root  /opt/$token-new/link -> file
/tmp: 8 change(s)"
# The kept state: the command's layers, the preparations' layers, the final /tmp.
e2e_assert_eq "kept: a created file" "$(cat "$S/all-keep/usr/$token-new/file")" new
[ -c "$S/all-keep/etc/$token-base/del" ] && e2e_pass "kept: a removal as a whiteout" ||
  e2e_fail "kept: no whiteout for /etc/$token-base/del"
[ -f "$S/all-keep/prepared/var/$token-base/del" ] && e2e_pass "kept: the preparation's layer" ||
  e2e_fail "kept: prepared/var/$token-base/del missing"
[ "$(cat "$S/all-keep/tmp/$token-base/chg")" = $'base\nmore' ] && [ ! -e "$S/all-keep/tmp/$token-base/del" ] &&
  e2e_pass "kept: the final private /tmp" || e2e_fail "kept: the final /tmp is not as left"

# ---------------------------------------------------------------------------------
e2e_case "standard streams, environment, directory and exit status pass through"
cd "$S" || exit 1
out=$(printf 'line one\n' | KANDU_E2E_VALUE='a b' "$SB" -- /bin/sh -c \
  'cat; echo "$KANDU_E2E_VALUE|$KANDU_SANDBOX|$(pwd)"; echo to-stderr >&2; exit 7' 2>"$S/streams.err")
status=$?
e2e_assert_eq "stdin, environment and directory" "$out" $'line one\na b|1|'"$S"
[ "$(cat "$S/streams.err")" = to-stderr ] && e2e_pass "stderr" || e2e_fail "stderr: $(cat "$S/streams.err")"
[ $status = 7 ] && e2e_pass "exit status 7" || e2e_fail "exit status $status"
"$SB" -- /bin/sh -c 'kill -TERM $$' 2>"$S/signal.err"
status=$?
[ $status = 143 ] && [ ! -s "$S/signal.err" ] && e2e_pass "a command ended by a signal: 128+15, quietly" ||
  e2e_fail "status $status, stderr $(cat "$S/signal.err")"

# ---------------------------------------------------------------------------------
e2e_case "ps sees only the sandbox's processes; /tmp starts empty"
out=$("$SB" --timeout 0 -- /bin/sh -c 'ps -e -o pid=,comm=; ls -A /tmp | wc -l')
pid1=$(sed -n 1p <<<"$out" | tr -s ' ' | sed 's/^ //')
names=$(awk 'NF == 2 { print $2 }' <<<"$out" | sort | tr '\n' ' ')
[ "$pid1" = "1 sandbox" ] && e2e_pass "pid 1 is the sandbox" || e2e_fail "first process: $pid1"
[ "$names" = "ps sandbox sh " ] && e2e_pass "no process of the machine is seen" || e2e_fail "processes: $names"
[ "$(tail -n 1 <<<"$out")" = 0 ] && e2e_pass "the private /tmp starts empty" || e2e_fail "/tmp: $out"

# ---------------------------------------------------------------------------------
e2e_case "the time limit ends a namespace with background children"
mark=$((200000 + RANDOM))
start=$SECONDS
"$SB" --timeout 2 -- /bin/sh -c "sleep $mark & setsid sleep $mark & (trap '' TERM HUP; sleep $mark) & \
  nohup sleep $mark >/dev/null 2>&1 & wait" >/dev/null 2>"$S/time.err"
status=$?
took=$((SECONDS - start))
[ $status = 124 ] && e2e_pass "status 124" || e2e_fail "status $status"
e2e_assert_file_is "$S/time.err" \
  $'sandbox: time limit of 2 seconds reached: every process of the sandbox was ended\n'
[ $took -lt 60 ] && e2e_pass "ended after $took s" || e2e_fail "took $took s"
sleep 0.5
if pgrep -f "sleep $mark" >/dev/null; then
  e2e_fail "background children survived: $(pgrep -af "sleep $mark")"
  pkill -KILL -f "sleep $mark"
else
  e2e_pass "no background child survived"
fi
"$SB" --timeout 1 --prepare "sleep $mark" -- true 2>"$S/time2.err"
status=$?
[ $status = 124 ] && e2e_pass "the limit covers the preparations" || e2e_fail "status $status"

# ---------------------------------------------------------------------------------
e2e_case "preparations: copies, links, tools and code run inside, before the command"
mkdir -p "$S/src/tree/sub"
echo leaf >"$S/src/tree/sub/leaf"
printf '#!/bin/sh\necho fake df "$@"\n' >"$S/src/df"
chmod 644 "$S/src/df"
out=$("$SB" --copy "$S/src/tree" /opt/Kandu/tvnn --copy "$S/src/tree" /usr/share/ --tool "$S/src/df" \
  --tool "$S/src/df" ps --link /opt/Kandu/tvnn /usr/Kandu/tvnn --prepare 'echo prep-out; echo p >/tmp/p' \
  --report "$S/prep.tsv" -- /bin/sh -c 'cat /opt/Kandu/tvnn/sub/leaf /usr/share/tree/sub/leaf \
  /usr/Kandu/tvnn/sub/leaf /tmp/p; df /; ps; stat -c %a /usr/sbin/df' 2>"$S/prep.err")
status=$?
e2e_assert_eq "all preparations visible" "$out" $'leaf\nleaf\nleaf\np\nfake df /\nfake df\n755'
e2e_assert_eq "preparation output goes to stderr" "$(cat "$S/prep.err")" prep-out
[ ! -s "$S/prep.tsv" ] && e2e_pass "preparations are not the command's changes" ||
  e2e_fail "report: $(cat "$S/prep.tsv")"
"$SB" --prepare 'exit 3' -- true 2>"$S/prep-fail.err"
status=$?
[ $status = 125 ] && e2e_pass "a failed preparation: 125" || e2e_fail "status $status"
e2e_assert_file_is "$S/prep-fail.err" $'sandbox: preparation failed: --prepare exit 3\n'

# ---------------------------------------------------------------------------------
e2e_case "refusals: 125 and a message, nothing run"
expect_refusal() {
  local want=$1
  shift
  "$SB" "$@" >"$S/ref.out" 2>"$S/ref.err"
  local status=$?
  if [ $status = 125 ] && [ "$(head -n 1 "$S/ref.err")" = "$want" ] && [ ! -s "$S/ref.out" ]; then
    e2e_pass "$want"
  else
    e2e_fail "status $status, stderr $(cat "$S/ref.err"), expected: $want"
  fi
}
expect_refusal "sandbox: unknown option --bogus" --bogus -- true
expect_refusal "sandbox: --keep $S/all-keep is not empty" --keep "$S/all-keep" -- echo ran
expect_refusal "sandbox: --report /usr/report.tsv lies in a tree that the sandbox replaces" \
  --report /usr/report.tsv -- echo ran
expect_refusal "sandbox: --copy: no such file: $S/none" --copy "$S/none" /opt/x -- echo ran
expect_refusal "sandbox: --tool NAME must be a plain file name: ./setup (put the command after --)" \
  --tool "$S/src/df" ./setup
(cd /tmp && expect_refusal "sandbox: cannot start in /tmp: the host's /tmp is hidden in the sandbox (use --copy)" \
  -- echo ran)

# ---------------------------------------------------------------------------------
e2e_case "without namespaces: 125 with the reason, or a bare run with --or-bare"
mkdir -p "$S/nons"
printf '#!/bin/sh\necho "unshare: simulated refusal" >&2\nexit 1\n' >"$S/nons/unshare"
chmod 755 "$S/nons/unshare"
PATH="$S/nons:$PATH" "$SB" -- echo ran >"$S/nons.out" 2>"$S/nons.err"
status=$?
[ $status = 125 ] && [ ! -s "$S/nons.out" ] && e2e_pass "125, nothing run" || e2e_fail "status $status"
e2e_assert_file_is "$S/nons.err" "sandbox: namespaces unavailable: root: unshare: simulated refusal; \
user: unshare: simulated refusal
"
out=$(cd "$S/nons" && PATH="$S/nons:$PATH" "$SB" --or-bare -- /bin/sh -c 'echo "$KANDU_NO_SANDBOX|$TMPDIR"')
e2e_assert_eq "--or-bare runs bare with the reason" "$out" \
  "namespaces unavailable: root: unshare: simulated refusal; user: unshare: simulated refusal|$S/nons/.bare-tmp"

# ---------------------------------------------------------------------------------
e2e_case "as an unprivileged user, through a user namespace"
if ! command -v setpriv >/dev/null; then
  echo "  skipped: setpriv is not installed"
elif [ "$(id -u)" != 0 ]; then
  echo "  skipped: the suite does not run as root, so it cannot become another user"
else
  asuser=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  mkdir -m 0777 "$S/user"
  if ! why=$("${asuser[@]}" "$SB" --check 2>&1); then
    echo "  skipped: ${why#sandbox: }"
  else
    [ "$why" = "sandbox: available (through a user namespace)" ] && e2e_pass "$why" || e2e_fail "check: $why"
    before=$(fingerprint "/tmp/$token-user" "/opt/$token-user" "/usr/$token-user")
    out=$(cd "$S/user" && "${asuser[@]}" "$SB" --report "$S/user/r.tsv" --prepare "echo p >/opt/$token-user" -- \
      /bin/sh -c "id -u; echo \$KANDU_SANDBOX; cat /opt/$token-user; echo u >/usr/$token-user; \
      echo t >/tmp/$token-user; ps -e -o comm=" 2>"$S/user/err")
    status=$?
    after=$(fingerprint "/tmp/$token-user" "/opt/$token-user" "/usr/$token-user")
    [ $status = 0 ] && [ "$out" = $'0\n1\np\nsandbox\nsandbox\nsleep\nsh\nps' ] && e2e_pass "runs as root of its namespace, sandboxed" ||
      e2e_fail "status $status, out $(printf '%q' "$out"), err $(cat "$S/user/err")"
    [ "$before" = "$after" ] && e2e_pass "the host's trees are untouched" || e2e_fail "host changed"
    e2e_assert_eq "the report lists the user's changes" "$(cut -f1,2 "$S/user/r.tsv")" \
      $'created\t/tmp/'"$token-user"$'\ncreated\t/usr/'"$token-user"
  fi
fi

# ---------------------------------------------------------------------------------
e2e_case "lib.sh runs an installer from a built distribution and captures the run"
# An installer's stand-in that does what setup's distribution step does with the files.
e2e_fake_tool setup-standin 'w=/tmp/KanduInstall
mkdir -p $w && cp disks pkg_tar.* $w/ && cd $w && cat pkg_tar.* >LinuxppcTvnn.tar.Z &&
  /usr/bin/uncompress LinuxppcTvnn.tar.Z && tar xpf LinuxppcTvnn.tar || exit 1
echo "joined and unpacked" >/tmp/setup.log
read answer
echo "answer: $answer; LANG=$LANG; args: $*"
mkdir -p /usr/Kandu && cp -a $w/pkg /usr/Kandu/tvnn && /usr/Kandu/tvnn/tvqadmin -upgrade' >"$S/standin-path"
if e2e_make_dist standin --setup "$(cat "$S/standin-path")" --piece-size 1K >/dev/null 2>"$S/mkdist.err"; then
  e2e_run_setup --name first --stdin yes --lang de_DE -- install /usr
  e2e_assert_status 0
  e2e_assert_stdout_is $'answer: yes; LANG=de_DE; args: install /usr\ntvqadmin: print queues upgraded\n'
  e2e_assert_log_has "joined and unpacked"
  e2e_assert_change created /usr/Kandu/tvnn/tvqadmin file 0755 root root
  e2e_assert_change created /tmp/KanduInstall/LinuxppcTvnn.tar file
  e2e_assert_unchanged /usr/Kandu/tvnn/LinuxppcTvnn.tar.Z
  e2e_assert_standin tvqadmin arg -upgrade
  [ "$(e2e_standin_count tvqadmin)" = 1 ] && e2e_pass "tvqadmin started once" || e2e_fail "tvqadmin starts"
  kept=$(e2e_state_file /usr/Kandu/tvnn/pkg.list) && cmp -s "$kept" "$E2E_ROOT/sample/pkg/pkg.list" &&
    e2e_pass "the installed pkg.list is kept" || e2e_fail "no kept /usr/Kandu/tvnn/pkg.list"
  [ ! -e /usr/Kandu/tvnn/pkg.list ] && e2e_pass "nothing installed on the host" || e2e_fail "host /usr/Kandu"
else
  e2e_fail "mkdist: $(cat "$S/mkdist.err")"
fi

e2e_finish
