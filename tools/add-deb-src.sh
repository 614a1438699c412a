#!/usr/bin/env bash
# Adds a deb-src entry for the archive this machine already installs from, so that Debian's source
# packages of the same release can be fetched (Qt and SQLite for the Windows build), then updates
# apt's lists. Does nothing where such an entry exists.
set -euo pipefail
if grep -rqs '^\(Types:.*deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  exit 0
fi
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
. /etc/os-release
"${sudo[@]}" tee /etc/apt/sources.list.d/tolvar-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${VERSION_CODENAME} ${VERSION_CODENAME}-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
"${sudo[@]}" apt-get update -qq
