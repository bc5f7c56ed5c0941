#!/usr/bin/env bash
# Builds Sonivel (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
echo "Sonivel's audio engine is built (build/release). The player window and the"
echo "command-line converter are not there yet; 'bash scripts/test.sh' runs the tests."
