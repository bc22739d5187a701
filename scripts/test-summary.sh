#!/usr/bin/env bash
# test-summary.sh RESULTS_DIR: the cases the test programs ran and skipped, by name, from the
# result files they wrote (GTEST_OUTPUT=xml:RESULTS_DIR/). A program counted as passed may still
# hold cases that skipped themselves; this names them.
set -uo pipefail
dir=$1
files=("$dir"/*.xml)
[ -e "${files[0]}" ] || { echo "test summary: no result files in $dir"; exit 0; }
cases=$(sed -n 's/^<testsuites tests="\([0-9]*\)".*/\1/p' "${files[@]}" | awk '{ n += $1 } END { print n + 0 }')
skipped=$(grep -ho '<testcase name="[^"]*"[^>]*result="skipped"[^>]*classname="[^"]*"' "${files[@]}" |
    sed -E 's/<testcase name="([^"]*)".*classname="([^"]*)"/\2.\1/' | sort)
count=$(printf '%s' "$skipped" | grep -c . || true)
echo "test summary: $cases cases in ${#files[@]} programs, $count skipped"
[ -z "$skipped" ] || printf 'skipped  %s\n' $skipped
