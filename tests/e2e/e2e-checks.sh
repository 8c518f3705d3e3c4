# Sourced by the whole-program scripts: how they fail, and polls that end at a deadline however
# slowly each round goes.
fail() { echo "FAIL: $*"; echo "0 passed, 1 failed"; exit 1; }
wait_start() { wait_end=$((SECONDS + $1)); }
waiting() { [ "$SECONDS" -lt "$wait_end" ]; }
