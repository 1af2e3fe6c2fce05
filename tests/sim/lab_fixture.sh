#!/usr/bin/env bash
# CTest fixture of the lab tests: brings the build's three labs up or down (BUILD/lab,
# BUILD/lab1 and BUILD/lab2; CTest gives each lab test one of them, see tests/lab_resources.json).
# Without root the lab tests skip themselves, so the fixture does nothing and succeeds.
#   lab_fixture.sh up|down BUILD_DIR
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "lab fixture: not root, lab tests will skip"
  exit 0
fi
lab=$(dirname "$0")/../../scripts/lab
build=$2
status=0
for dir in "$build/lab" "$build/lab1" "$build/lab2"; do
  LAB_DIR=$dir TAVRIN_BUILD_DIR=$build "$lab" "$1" || status=1
done
exit $status
