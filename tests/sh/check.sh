# SPDX-License-Identifier: MIT
# Sourced by the shell tests: a scratch folder $dir, gone at exit;
# "check NAME GOT EXPECTED" for each check, and "finish" to count them.
passed=0 failed=0 dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
check() {
	[ "$2" = "$3" ] && passed=$((passed + 1)) && return
	printf 'FAIL %s\n  got:      %q\n  expected: %q\n' "$1" "$2" "$3"
	failed=$((failed + 1))
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
