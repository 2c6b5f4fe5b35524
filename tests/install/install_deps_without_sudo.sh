#!/usr/bin/env bash
# The set-up script as an ordinary user on a machine without sudo: it must not stumble over
# the missing command but say what an administrator has to run, and stop with an error.
set -u
script="$1/scripts/install-deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# Every package counts as missing and the user is not root; the tools the script needs are
# there, sudo is not.
printf '#!/bin/sh\nexit 1\n' > "$work/bin/dpkg-query"
printf '#!/bin/sh\necho 1000\n' > "$work/bin/id"
chmod +x "$work/bin/dpkg-query" "$work/bin/id"
ln -s "$(command -v grep)" "$work/bin/grep"

PATH="$work/bin" "$(command -v bash)" "$script" >"$work/out" 2>"$work/err"
status=$?
fail() { echo "FAIL: $*"; echo "--- stdout"; cat "$work/out"; echo "--- stderr"; cat "$work/err"; exit 1; }
[ "$status" -ne 0 ] || fail "exit status 0 without the packages"
grep -q "command not found" "$work/err" && fail "a missing command was run"
grep -q "Устанавливаются" "$work/out" && fail "it says it installs what it cannot"
grep -q "apt-get update && apt-get install -y --no-install-recommends .*qt6-base-dev" "$work/err" \
  || fail "no apt-get line with the missing packages"
grep -q "администратор" "$work/err" || fail "no word on who must run it"
echo "install-deps without sudo: 1 passed, 0 failed"
