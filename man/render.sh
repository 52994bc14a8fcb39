#!/bin/sh
# Renders a page with scdoc, dated by SOURCE_DATE_EPOCH or else by the last
# commit, so that the same sources give the same page on any day.
# Usage: render.sh SCDOC SOURCE.scd OUTPUT
set -e
scdoc=$1 source=$2 output=$3
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$(dirname "$source")" log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
fi
if [ -n "$SOURCE_DATE_EPOCH" ]; then
  export SOURCE_DATE_EPOCH
fi
"$scdoc" <"$source" >"$output.tmp"
mv "$output.tmp" "$output"
