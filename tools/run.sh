#!/usr/bin/env bash
# Sets up, builds and starts the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
exec build/bin/lumivane
