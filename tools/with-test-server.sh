#!/bin/sh
# Runs a command with the test HTTP server (tools/test-http-server.py)
# listening on 127.0.0.1, and stops the server afterwards. The command sees
#   PELLTON_TEST_SERVER      the server's base URL, http://127.0.0.1:<port>
#   PELLTON_TEST_SERVER_DIR  the server's folder as a Windows path (Wine's Z:
#                            drive), where tests put routes and read requests
# Usage: with-test-server.sh <command> [arguments...]
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d "${TMPDIR:-/tmp}/pellton-http.XXXXXX") || exit 1
python3 "$here/test-http-server.py" --dir "$dir" --port-file "$dir/port" </dev/null &
server=$!
tries=0
while [ ! -s "$dir/port" ]; do
  if ! kill -0 "$server" 2>/dev/null || [ $tries -ge 200 ]; then
    echo "with-test-server: the test server did not start" >&2
    kill "$server" 2>/dev/null
    rm -rf "$dir"
    exit 1
  fi
  tries=$((tries + 1))
  sleep 0.05
done
PELLTON_TEST_SERVER="http://127.0.0.1:$(cat "$dir/port")"
PELLTON_TEST_SERVER_DIR="Z:$(printf '%s' "$dir" | tr '/' '\\')"
export PELLTON_TEST_SERVER PELLTON_TEST_SERVER_DIR
"$@"
rc=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$dir"
exit $rc
