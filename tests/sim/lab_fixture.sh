#!/usr/bin/env bash
# CTest fixture of the lab tests: brings the lab up or down. Without root the lab
# tests skip themselves, so the fixture does nothing and succeeds.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "lab fixture: not root, lab tests will skip"
  exit 0
fi
exec "$(dirname "$0")/../../scripts/lab" "$1"
