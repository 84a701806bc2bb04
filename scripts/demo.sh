#!/usr/bin/env bash
# Builds dbup and runs its main job on a generated sample installation.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
bin=build/default/tools
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== a table written by dbup's engine, read back"
cat >"$work/schema.json" <<'JSON'
{"fields": [{"name": "CLAIM", "type": "N", "length": 10, "decimals": 0},
            {"name": "PATIENT", "type": "C", "length": 20},
            {"name": "SERVED", "type": "D", "length": 8},
            {"name": "CHARGE", "type": "N", "length": 10, "decimals": 2},
            {"name": "NOTE", "type": "M", "length": 10}]}
JSON
"$bin/dbftool/dbftool" create "$work/claims.dbf" --schema "$work/schema.json"
printf '%s\n' \
  '{"CLAIM": 1001, "PATIENT": "Ada Lovelace", "SERVED": "20261201", "CHARGE": 125.5, "NOTE": "first visit\r\nfollow-up in 2 weeks"}' \
  '{"CLAIM": 1002, "PATIENT": "Alan Turing", "SERVED": "20261203", "CHARGE": 0.05, "NOTE": ""}' |
  "$bin/dbftool/dbftool" append "$work/claims.dbf"
"$bin/dbftool/dbftool" info "$work/claims.dbf"
"$bin/dbftool/dbftool" dump "$work/claims.dbf"
