#!/bin/sh
# Renders a manual page and fails on any warning from man or groff, on a
# missing section, or on a SEE ALSO that doesn't name the other programs.
# Usage: check.sh PAGE.1 NAME ALL-NAMES...
page=$1 name=$2
shift 2
status=0
warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s: man reports:\n%s\n' "$page" "$warnings"
  status=1
fi
text=$(MANWIDTH=80 man -E ascii -l "$page" 2>/dev/null | col -bx)
# A program without options explains its arguments instead.
for section in NAME SYNOPSIS 'OPTIONS\|ARGUMENTS' 'EXIT STATUS' EXAMPLES 'SEE ALSO'; do
  printf '%s\n' "$text" | grep -qx "$section" || {
    echo "$page: no section $section"
    status=1
  }
done
see_also=$(printf '%s\n' "$text" | sed -n '/^SEE ALSO$/,/^[A-Z]/p')
for other in "$@"; do
  [ "$other" = "$name" ] && continue
  printf '%s\n' "$see_also" | grep -q "$other(1)" || {
    echo "$page: SEE ALSO does not name $other(1)"
    status=1
  }
done
exit $status
