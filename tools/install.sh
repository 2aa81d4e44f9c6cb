#!/usr/bin/env bash
# Builds and installs the panel for the current user, with a menu entry and
# icon, the INDI light-box driver and the Alpaca server lumivaned:
#   tools/install.sh [FOLDER]   (the panel's folder, default ~/.local/lib/lumivane)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/install-user.sh build "${1:-$HOME/.local/lib/lumivane}"
