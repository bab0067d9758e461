#!/usr/bin/env bash
# Installs what building needs, and with "tests" what the tests need too, when it is missing.
# Safe to run twice.
set -euo pipefail
pkgs=(g++ cmake make pkg-config libssl-dev libssh-dev libvips-dev qt6-base-dev qt6-webengine-dev qt6-translations-l10n)
if [ "${1:-}" = "tests" ]; then
  pkgs+=(libgtest-dev libgmock-dev libbenchmark-dev clang-format git python3-pyftpdlib python3-openssl chromium)
  pkgs+=(openssh-server openssh-client)
  pkgs+=(nodejs)
  # Some builds of nodejs carry npm; Debian's own comes apart.
  command -v npm >/dev/null 2>&1 || pkgs+=(npm)
fi
# Making and checking the Debian package (scripts/package.sh, scripts/package-test.sh).
if [ "${1:-}" = "tests" ] || [ "${1:-}" = "package" ]; then
  pkgs+=(dpkg-dev lintian desktop-file-utils appstream shared-mime-info libglib2.0-bin man-db)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  # Quiet unless it fails: then the whole apt output explains why.
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  echo "Installation : ${missing[*]}"
  if ! { $sudo apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "L'installation des paquets a échoué (voir ci-dessus)." >&2
    exit 1
  fi
fi

# The browser tests' npm packages (axe-core, puppeteer-core driving the system's Chromium).
if [ "${1:-}" = "tests" ] && [ ! -d "$(dirname "$0")/../tests/browser/node_modules" ]; then
  log=$(mktemp)
  if ! (cd "$(dirname "$0")/../tests/browser" && npm ci --no-audit --no-fund --loglevel=error) >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "L'installation des paquets npm des tests du navigateur a échoué (voir ci-dessus)." >&2
    exit 1
  fi
  rm -f "$log"
fi
