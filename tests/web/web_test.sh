#!/usr/bin/env bash
# The web page's tests: builds it (scripts/build-web), then compares the runner under node
# with the native runner (runner_traces.sh) and tests the page in headless Chromium
# (page_test.js; a11y_test.js for captions, the live region, sound control, the languages and
# axe-core; room_test.js for the room on the page; with the npm packages pinned in
# package-lock.json) and as an offline app (offline_test.js). Nothing here is skipped: a part
# that cannot be installed or run fails the run.
#
#   tests/web/web_test.sh --runner NATIVE_HEADLESS
set -euo pipefail
cd "$(dirname "$0")/../.."

runner=""
while [ $# -gt 0 ]; do
  case $1 in
    --runner) runner=$(realpath "$2"); shift 2 ;;
    *) echo "usage: $0 --runner NATIVE_HEADLESS" >&2; exit 2 ;;
  esac
done
[ -x "$runner" ] || { echo "usage: $0 --runner NATIVE_HEADLESS" >&2; exit 2; }

tree=${DRK_WEB_BUILD:-build/web-build}
export DRK_WEB_BUILD=$tree
DRK_SETUP_WEB=web-test scripts/build-web
(cd tests/web && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)

tests/web/runner_traces.sh --native "$runner" --node "$tree/platform/web/drk20vt5p-headless-node.js"
tests/golden/outputs.sh check node node --no-experimental-fetch \
  "$(realpath "$tree")/platform/web/drk20vt5p-headless-node.js"
node tests/web/page_test.js --site build/web --runner "$runner"
node tests/web/a11y_test.js --site build/web
node tests/web/room_test.js --site build/web --runner "$runner"
node tests/web/offline_test.js --site build/web
