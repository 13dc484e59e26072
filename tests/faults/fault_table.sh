#!/bin/sh
# Runs the fault matrix once and writes its outcome table as Markdown.
#   tests/faults/fault_table.sh BUILD/tests/faults/fault_tests > table.md
tests="$1"
table=$(mktemp /tmp/wegmate-fault-table-XXXXXX) || exit 1
trap 'rm -f "$table"' EXIT
WEGMATE_FAULT_TABLE="$table" "$tests" --gtest_filter='AllTransfers/FaultMatrix.*' >/dev/null 2>&1
echo "| Link | Transfer | Fault | Messages seen (in order) | Status line after | Link after | Output file / receiver | Verdict |"
echo "|---|---|---|---|---|---|---|---|"
sort -n -u "$table" | cut -f2- | awk -F'\t' '
{
    n = split($1, part, "_")
    fault = part[4]
    for (i = 5; i <= n; i++) fault = fault " " part[i]
    transfer = part[2] " " part[3]
    if ($2 == "n/a") {
        printf "| %s | %s | %s | not applicable: %s | | | | n/a |\n", part[1], transfer, fault, $3
    } else {
        msg = $3
        gsub(/\|/, "\\|", msg)
        printf "| %s | %s | %s | %s | `%s` | %s | %s | %s |\n", part[1], transfer, fault, msg, $4, $5, $6, $2
    }
}'
