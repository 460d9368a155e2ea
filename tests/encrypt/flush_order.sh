#!/usr/bin/env bash
# Checks that CopyToFinalName flushes the new file to the disk before it
# returns: runs one case of the batch steps test under strace and requires
# the system's flush of the copy to come before the flush of a marker file
# that the case writes after the call. Exit 77 (skipped) when the process
# cannot be traced here.
#   flush_order.sh <strace> <wine-run> <test.exe>
set -uo pipefail
strace=$1 wine_run=$2 exe=$3
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! "$strace" -f -qq -y -e trace=fsync,fdatasync -o "$log" true 2>/dev/null; then
    echo "flush_order: strace cannot trace processes here" >&2
    exit 77
fi
"$strace" -f -qq -y -e trace=fsync,fdatasync -o "$log" \
    "$wine_run" "$exe" --gtest_filter=CopyToFinalName.FlushesTheCopyBeforeReturning || exit 1
target=$(grep -n 'flushed-target\.crp>' "$log" | head -1 | cut -d: -f1)
marker=$(grep -n 'flushed-marker>' "$log" | head -1 | cut -d: -f1)
if [ -z "$marker" ]; then
    echo "flush_order: the marker's flush was not seen; the trace shows no flushes" >&2
    exit 1
fi
if [ -z "$target" ] || [ "$target" -gt "$marker" ]; then
    echo "flush_order: the copy was not flushed before CopyToFinalName returned" >&2
    grep -E 'fsync|fdatasync' "$log" >&2
    exit 1
fi
echo "flush_order: the copy was flushed before the call returned"
