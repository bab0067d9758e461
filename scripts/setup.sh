#!/usr/bin/env bash
# Installs what building needs, and with "tests" what the tests need too, when it is missing.
# Safe to run twice.
set -euo pipefail
pkgs=(g++ cmake make qt6-base-dev qt6-webengine-dev qt6-translations-l10n)
if [ "${1:-}" = "tests" ]; then
  pkgs+=(libgtest-dev libgmock-dev libbenchmark-dev clang-format git python3-pyftpdlib chromium)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
