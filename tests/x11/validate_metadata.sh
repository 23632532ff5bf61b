#!/usr/bin/env bash
# The desktop entry and the AppStream metadata as the desktops and the
# software centres read them: desktop-file-validate must have nothing to say
# (not even a hint), appstreamcli validate no error or warning (offline: the
# screenshot's address is not fetched).
#
#   tests/x11/validate_metadata.sh DESKTOP_FILE METAINFO_FILE
set -euo pipefail
desktop=${1:?usage: validate_metadata.sh DESKTOP_FILE METAINFO_FILE}
metainfo=${2:?usage: validate_metadata.sh DESKTOP_FILE METAINFO_FILE}

status=0
said=$(desktop-file-validate "$desktop" 2>&1) || status=1
if [[ -n $said ]]; then
  echo "$said"
  status=1
fi
[[ $status == 0 ]] && echo "desktop-file-validate: $(basename "$desktop") is clean"

if ! appstreamcli validate --no-net --pedantic "$metainfo"; then
  echo "validate_metadata: appstreamcli finds errors or warnings in $(basename "$metainfo")" >&2
  status=1
fi
exit "$status"
