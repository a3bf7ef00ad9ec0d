#!/usr/bin/env bash
# tools/end-run.sh, which ./test runs last, in a scratch checkout (no Wine
# prefix of the real one is touched) with a grep that lingers after it has
# closed its output, as one may while it exits on a busy machine: with
# nothing of the run left, it names nothing as still running (the grep
# carries the run's mark too) and exits 0; a marked process that does run
# is ended.
source "$(dirname "$0")/lib.sh"
mkdir -p "$work/co/tools"
cp "$root/tools/end-run.sh" "$work/co/tools/"
real_grep=$(command -v grep)
cat >"$work/bin/grep" <<EOS
#!/bin/sh
"$real_grep" "\$@"
status=\$?
exec >&- 2>&-
sleep 1
exit \$status
EOS
cat >"$work/bin/wineserver" <<'EOS'
#!/bin/sh
exit 0
EOS
chmod +x "$work/bin/grep" "$work/bin/wineserver"
mark=end-run-test-$$

case_name="nothing left"
sleep 30 &
run=$!
out=$(PATH="$work/bin:$PATH" QB480_RUN=$mark bash "$work/co/tools/end-run.sh" "$mark" "$run" 2>&1)
status=$?
check "exits 0" [ "$status" -eq 0 ]
check "names nothing (${out:0:120})" [ -z "$out" ]

case_name="a process of the run left"
QB480_RUN=$mark sleep 30 &
left=$!
out=$(PATH="$work/bin:$PATH" QB480_RUN=$mark bash "$work/co/tools/end-run.sh" "$mark" "$run" 2>&1)
status=$?
check "exits 0 once it is ended (${out:0:120})" [ "$status" -eq 0 ]
check "ends it" [ ! -d "/proc/$left" ] || ! grep -q . "/proc/$left/cmdline" 2>/dev/null
kill "$run" 2>/dev/null
wait 2>/dev/null
summarize end-run
