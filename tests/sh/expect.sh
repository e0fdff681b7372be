# SPDX-License-Identifier: MIT
# Sourced by the shell tests: expect NAME ACTUAL EXPECTED, then finish.
failures=0

expect() {
	if [ "$2" != "$3" ]; then
		printf 'FAIL %s\n  got:      %q\n  expected: %q\n' "$1" "$2" "$3"
		failures=$((failures + 1))
	fi
}

finish() {
	[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
}
