#!/bin/bash
# Long work runs on the document's workers: nothing in the program spins a nested event loop
# or lets events run from inside a command (comments may still name them).
set -euo pipefail
src="$1/src"
hits=$(grep -rnE 'processEvents|QEventLoop' "$src" --include='*.cpp' --include='*.h' \
  | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//' || true)
if [ -n "$hits" ]; then
  echo "a nested event loop in src/:"
  echo "$hits"
  exit 1
fi
