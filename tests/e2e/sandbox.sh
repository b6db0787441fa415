#!/bin/bash
# sandbox.sh - the sandbox's isolation: the machine's trees stay as they were, the report
# names exactly what the command did, streams and statuses pass through, the time limit
# ends every process, preparations run inside, and what it cannot do safely is refused.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
SB=$E2E_SANDBOX
S=$E2E_SCRATCH
token=sbtest-$$-$RANDOM

# Type, mode, owner, size, times, target and content hash of each host path.
fingerprint() {
  local p
  for p in "$@"; do
    { [ -e "$p" ] || [ -L "$p" ]; } || { echo "$p absent"; continue; }
    stat -c '%n %F %a %u %g %s %Y %N' "$p"
    [ -f "$p" ] && sha256sum "$p"
  done
}

e2e_case "a run that writes in all five trees leaves the machine's unchanged; the report names every change"
# In each tree the command changes, chmods and removes host files (three small regular
# files not changed in the last hour, where a tree has them) and files only the
# preparation made, and creates a folder, a file and a link.
declare -A chg=() mod=() del=()
for t in usr/bin etc var/lib/dpkg/info; do
  mapfile -t files < <(find "/$t" -maxdepth 1 -type f -size -64k -mmin +60 -print0 2>/dev/null | sort -z |
    while IFS= read -r -d '' f; do mountpoint -q "$f" || echo "$f"; done | head -n 3)
  [ ${#files[@]} = 3 ] && chg[$t]=${files[0]} mod[$t]=${files[1]} del[$t]=${files[2]}
done
prepare=true cmd=true watched=("${chg[@]}" "${mod[@]}" "${del[@]}") expected=""
for t in usr etc var opt tmp; do
  b=/$t/$token-base n=/$t/$token-new
  prepare+=" && mkdir -p $b/gone && echo base >$b/chg && echo base >$b/mod && echo base >$b/del && echo x >$b/gone/inner"
  cmd+=" && mkdir $n && echo new >$n/file && ln -s file $n/link && echo more >>$b/chg && chmod 4755 $b/mod"
  cmd+=" && rm $b/del && rm -r $b/gone"
  watched+=("$b" "$n")
  expected+=$(printf 'created\t%s\t\n' "$n" "$n/file" "$n/link"
    printf 'removed\t%s\t\n' "$b/del" "$b/gone/inner" "$b/gone"
    printf 'changed\t%s\tcontent\nchanged\t%s\tmode\n' "$b/chg" "$b/mod")$'\n'
done
for t in "${!chg[@]}"; do
  cmd+=" && echo more >>${chg[$t]} && chmod 600 ${mod[$t]} && rm ${del[$t]}"
  expected+=$(printf 'changed\t%s\tcontent\nchanged\t%s\tmode\nremoved\t%s\t\n' "${chg[$t]}" "${mod[$t]}" "${del[$t]}")$'\n'
done
before=$(fingerprint "${watched[@]}")
"$SB" --prepare "$prepare" --report "$S/all.tsv" --report-text "$S/all.txt" --keep "$S/keep" -- /bin/sh -c "$cmd" \
  >"$S/all.out" 2>&1
e2e_assert_eq "the command's status" "$?" 0
e2e_assert_eq "the host's files" "$(fingerprint "${watched[@]}")" "$before"
# The report: change, path and aspect of every line (${#chg[@]} trees have host files);
# the text form shows the other fields.
e2e_assert_eq "the report" "$(cut -f1,2,13 "$S/all.tsv" | LC_ALL=C sort)" "$(LC_ALL=C sort <<<"${expected%$'\n'}")"
e2e_assert_file_has "$S/all.txt" "/opt: 8 change(s)" "  created  link   0777 root:root  /opt/$token-new/link -> file" \
  "  changed  file   4755 root:root  /opt/$token-base/mod  (mode 0644 -> 4755)" \
  "  removed  dir    0755 root:root  /opt/$token-base/gone"
# The kept state: the command's layers (a removal as a whiteout), the preparation's
# layers, the final private /tmp.
k=$S/keep
e2e_assert_eq "kept: a created file, a whiteout, the preparation's layer, the final /tmp" "$(cat "$k/usr/$token-new/file"
  stat -c %F "$k/etc/$token-base/del" "$k/prepared/var/$token-base/del"; cat "$k/tmp/$token-base/chg"
  ls "$k/tmp/$token-base")" \
  $'new\ncharacter special file\nregular file\nbase\nmore\nchg\nmod'

e2e_case "every write stays in the sandbox, wherever it goes; the checkout is bound in and named"
# Each row: a path written from the home folder (relative: the current folder), its
# lines in the report.
cmd=true expected="" paths=()
for row in "$HOME/$token-home|$HOME/$token-home" "/srv/$token-srv|/srv/$token-srv" \
  "/$token-top/f|/$token-top /$token-top/f" "$token-cwd/f|$HOME/$token-cwd $HOME/$token-cwd/f"; do
  cmd+=" && mkdir -p \$(dirname ${row%%|*}) && echo x >${row%%|*}"
  paths+=("${row%%|*}")
  expected+=$(printf 'created\t%s\n' ${row#*|})$'\n'
done
(cd "$HOME" && "$SB" --report "$S/every.tsv" --report-text "$S/every.txt" -- /bin/sh -c "$cmd && echo b >$S/$token-bound")
e2e_assert_eq "the report; the host's paths" "$(cut -f1,2 "$S/every.tsv")
$(cd "$HOME" && ls -d "${paths[@]}" 2>/dev/null)" "$(LC_ALL=C sort <<<"${expected%$'\n'}")"$'\n'
e2e_assert_file_has "$S/every.txt" "/srv: 1 change(s)" "bound in, written through: $(cd "$E2E_ROOT" && pwd -P)"
e2e_assert_file_has "$S/$token-bound" b

# Runs the sandbox (as the user SB_AS) with the arguments in the current folder; R is
# "STATUS|STDOUT|STDERR".
SB_AS=()
sb() { "${SB_AS[@]}" "$SB" "$@" >"$S/sb.out" 2>"$S/sb.err"; R="$?|$(cat "$S/sb.out")|$(cat "$S/sb.err")"; }

e2e_case "streams, environment, directory and exit status pass through; ps sees only the sandbox"
cd "$S" || exit 1
KANDU_E2E_VALUE='a b' sb -- /bin/sh -c 'cat; echo "$KANDU_E2E_VALUE|$KANDU_SANDBOX|$(pwd)"; echo to-stderr >&2; exit 7' \
  <<<'line one'
e2e_assert_eq "status, stdin, environment, directory, stderr" "$R" $'7|line one\na b|1|'"$S|to-stderr"
sb -- /bin/sh -c 'kill -TERM $$'
e2e_assert_eq "a command ended by a signal: 128+15, quietly" "$R" "143||"
# (A checkout in /tmp has its place there.)
top=/ && case "$E2E_ROOT/" in /tmp/*) top=${E2E_ROOT#/tmp/} top=${top%%/*} ;; esac
sb --timeout 0 -- /bin/sh -c "ls -A /tmp | grep -cvxF '$top'; ps -e -o pid=,comm="
e2e_assert_eq "the private /tmp empty at the start, and the processes seen" \
  "$(awk 'NR == 1 { print; next } { print ($1 == 1 ? "1 " : "") $2 | "sort" }' "$S/sb.out")" $'0\n1 sandbox\nps\nsh'

e2e_case "the time limit ends every process, background children and preparations too"
mark=$((200000 + RANDOM))
sb --timeout 2 -- /bin/sh -c "sleep $mark & setsid sleep $mark & (trap '' TERM HUP; sleep $mark) & \
  nohup sleep $mark >/dev/null 2>&1 & wait"
e2e_assert_eq "status and message" "$R" "124||sandbox: time limit of 2 seconds reached: every process of the sandbox was ended"
sleep 0.5
e2e_assert_eq "the children left" "$(pgrep -af "sleep $mark")" ""
sb --timeout 1 --prepare "sleep $mark" -- true
e2e_assert_eq "a preparation over the limit" "${R%%|*}" 124

e2e_case "preparations: copies, links, tools and code run inside, before the command"
mkdir -p "$S/src/tree/sub" && echo leaf >"$S/src/tree/sub/leaf"
printf '#!/bin/sh\necho fake df "$@"\n' >"$S/src/df"
chmod 644 "$S/src/df"
sb --copy "$S/src/tree" /opt/Kandu/tvnn --tool "$S/src/df" ps --link /opt/Kandu/tvnn /usr/Kandu/tvnn \
  --prepare 'echo prep-out; echo p >/tmp/p' --report "$S/prep.tsv" -- \
  /bin/sh -c 'cat /usr/Kandu/tvnn/sub/leaf /tmp/p; ps; stat -c %a /usr/sbin/ps'
e2e_assert_eq "seen by the command; their output on stderr; not in the report" "$R$(cat "$S/prep.tsv")" \
  $'0|leaf\np\nfake df\n755|prep-out'

e2e_case "refusals: 125 and a message, nothing run"
for row in "unknown option --bogus|--bogus -- true" "--keep $S/keep is not empty|--keep $S/keep -- echo ran" \
  "--report /usr/report.tsv lies in a tree that the sandbox replaces|--report /usr/report.tsv -- echo ran" \
  "--copy: no such file: $S/none|--copy $S/none /opt/x -- echo ran" \
  "--tool NAME must be a plain file name: ./setup (put the command after --)|--tool $S/src/df ./setup" \
  "preparation failed: --prepare false|--prepare false -- true"; do
  # shellcheck disable=SC2086
  sb ${row#*|}
  e2e_assert_eq "${row%%|*}" "$(head -n 1 <<<"$R")" "125||sandbox: ${row%%|*}"
done
cd /tmp && sb -- echo ran
e2e_assert_eq "started in /tmp" "$R" "125||sandbox: cannot start in /tmp: the host's /tmp is hidden in the sandbox (use --copy)"

e2e_case "without namespaces: 125 with the reason, or a bare run with --or-bare"
mkdir -p "$S/nons"
cd "$S/nons" || exit 1
printf '#!/bin/sh\necho "unshare: simulated refusal" >&2\nexit 1\n' >unshare
chmod 755 unshare
why="namespaces unavailable: root: unshare: simulated refusal; user: unshare: simulated refusal"
PATH="$S/nons:$PATH" sb -- echo ran
e2e_assert_eq "refused" "$R" "125||sandbox: $why"
PATH="$S/nons:$PATH" sb --or-bare -- /bin/sh -c 'echo "$KANDU_NO_SANDBOX|$TMPDIR"'
e2e_assert_eq "--or-bare runs bare with the reason" "$R" "0|$why|$S/nons/.bare-tmp|"

e2e_case "as an unprivileged user, through a user namespace"
asuser=(setpriv --reuid=65534 --regid=65534 --clear-groups)
mkdir -m 0777 "$S/user" && cd "$S/user" || exit 1
if [ "$(id -u)" != 0 ] || ! why=$("${asuser[@]}" "$SB" --check 2>&1); then
  echo "  skipped: root and a user namespace are needed to become another user: ${why:-}"
else
  e2e_assert_eq "check" "$why" "sandbox: available (through a user namespace)"
  SB_AS=("${asuser[@]}")
  sb --report "$S/user/r.tsv" --prepare "echo p >/opt/$token-user" -- /bin/sh -c \
    "id -u; echo \$KANDU_SANDBOX; cat /opt/$token-user; echo u >/usr/$token-user; echo t >/tmp/$token-user; ps -e -o comm="
  e2e_assert_eq "runs as root of its namespace, sandboxed" "$R" $'0|0\n1\np\nsandbox\nsandbox\nsleep\nsh\nps|'
  e2e_assert_eq "the host's trees; the report" "$(ls -d /tmp/$token-user /opt/$token-user /usr/$token-user 2>/dev/null)
$(cut -f1,2 "$S/user/r.tsv")" $'\ncreated\t/tmp/'"$token-user"$'\ncreated\t/usr/'"$token-user"
fi

e2e_finish
