#!/usr/bin/env bash
# Regenerates resources/voice_image.bin (the speech memory image, resource 101) from
# resources/voice_messages.txt with espeak-ng's Russian voice and sox.
# Tool time only: the image is committed, so building and testing need neither tool.
# Usage: tools/voice/make_voice_image.sh [--report] [--dry-run] [--out FILE] [--table FILE] [--levels FILE]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

missing=()
command -v espeak-ng >/dev/null 2>&1 || missing+=(espeak-ng)
command -v sox >/dev/null 2>&1 || missing+=(sox)
command -v python3 >/dev/null 2>&1 || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}" >&2
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

echo "espeak-ng: $(espeak-ng --version | head -1)" >&2
exec python3 "$here/make_voice_image.py" "$@"
