#!/usr/bin/env bash
# Prints the time, in seconds since 1970, that a release takes for every
# time stamp it writes (the programs' headers, the zips, the packages):
#   - SOURCE_DATE_EPOCH when it is set;
#   - else the time of the checked-out commit;
#   - else (a tree without git history, such as a tarball) the modification
#     time of CMakeLists.txt, which `git archive` sets to the commit's time,
#     with a line on standard error saying so.
# So two builds of one commit write the same time stamps, whenever and
# wherever they run.
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { echo "source-date-epoch: SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH is not a number of seconds" >&2; exit 1; }
    echo "$SOURCE_DATE_EPOCH"
elif [ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" = "$root" ] &&
     time=$(git -C "$root" log -1 --format=%ct 2>/dev/null) && [ -n "$time" ]; then
    # (A tree unpacked inside another repository is not that repository's commit.)
    echo "$time"
else
    echo "source-date-epoch: no git history here and no SOURCE_DATE_EPOCH: the release takes the time of CMakeLists.txt" >&2
    stat -c %Y "$root/CMakeLists.txt"
fi
