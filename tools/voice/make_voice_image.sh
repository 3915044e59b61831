#!/usr/bin/env bash
# Regenerates resources/voice_image.bin (the speech memory image, resource 101) from
# resources/voice_messages.txt with espeak-ng's Russian voice and sox.
# Tool time only: the image is committed, so building and testing need neither tool.
# Usage: tools/voice/make_voice_image.sh [--report] [--dry-run] [--out FILE] [--table FILE] [--levels FILE]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

"$here/../../scripts/setup" voice >&2

echo "espeak-ng: $(espeak-ng --version | head -1)" >&2
exec python3 "$here/make_voice_image.py" "$@"
