# Helpers for tests that drive the real terminal build inside tmux, as a person at
# an 80x25 xterm would. Source this file; every session lives on a private server
# (-L) that is killed when the test script exits.

if ! command -v tmux >/dev/null 2>&1; then
  echo "tmux is not installed: skipped"
  exit 77
fi

TMUX_TEST_DIR=$(mktemp -d "${TMPDIR:-/tmp}/zq-tmux.XXXXXX")
TMUX_TEST_SOCKET="zq-test-$$"
TMUX_TEST_TIMEOUT=${TMUX_TEST_TIMEOUT:-20}

cat >"$TMUX_TEST_DIR/tmux.conf" <<'CONF'
set -g default-terminal xterm-256color
set -g status off
set -g history-limit 0
CONF

tmux_cmd() {
  tmux -L "$TMUX_TEST_SOCKET" -f "$TMUX_TEST_DIR/tmux.conf" "$@"
}

tmux_cleanup() {
  tmux_cmd kill-server >/dev/null 2>&1 || true
  rm -rf "$TMUX_TEST_DIR"
}
trap tmux_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -n "${TMUX_TEST_SESSION:-}" ]; then
    echo "--- pane ---" >&2
    tmux_capture "$TMUX_TEST_SESSION" >&2 || true
    echo "------------" >&2
  fi
  exit 1
}

# tmux_start NAME [COLUMNS ROWS]: a pane (80x25 unless told) running a plain shell
# (so that what the terminal shows after a program ends can be checked too).
tmux_start() {
  TMUX_TEST_SESSION=$1
  local tries
  # When the last session of a test has just been killed, its server may still be
  # going away and refuse the new session: try again a few times.
  for tries in 1 2 3 4 5; do
    tmux_cmd new-session -d -s "$1" -x "${2:-80}" -y "${3:-25}" \
      "env -i PATH=\"$PATH\" HOME=\"$TMUX_TEST_DIR\" TERM=xterm-256color LANG=C.UTF-8 PS1='$ ' bash --norc --noprofile" \
      2>/dev/null && break
    [ "$tries" = 5 ] && fail "tmux did not start"
    sleep 0.5
  done
  tmux_wait_for "$1" '$' || fail "no shell prompt"
}

# tmux_run NAME COMMAND...: types the command into the pane's shell; its exit
# code goes to $TMUX_TEST_DIR/NAME.exit when it ends.
tmux_run() {
  local name=$1
  shift
  rm -f "$TMUX_TEST_DIR/$name.exit"
  tmux_cmd send-keys -t "$name" -l "$*; echo \$? > $TMUX_TEST_DIR/$name.exit"
  tmux_cmd send-keys -t "$name" Enter
}

# tmux_send NAME KEY...: tmux key names (Escape, Enter, F5, C-t) or literal text.
tmux_send() {
  local name=$1
  shift
  tmux_cmd send-keys -t "$name" "$@"
}

tmux_capture() {
  tmux_cmd capture-pane -p -t "$1"
}

# tmux_row NAME ROW: one row of the pane (1-based), trailing blanks kept.
tmux_row() {
  tmux_capture "$1" | sed -n "${2}p"
}

# tmux_wait_for NAME TEXT [SECONDS]: until the pane shows TEXT (fixed string).
tmux_wait_for() {
  local name=$1 text=$2 limit=${3:-$TMUX_TEST_TIMEOUT}
  local end=$((SECONDS + limit))
  while [ "$SECONDS" -le "$end" ]; do
    if tmux_capture "$name" | grep -qF -- "$text"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# tmux_wait_gone NAME TEXT [SECONDS]: until the pane no longer shows TEXT.
tmux_wait_gone() {
  local name=$1 text=$2 limit=${3:-$TMUX_TEST_TIMEOUT}
  local end=$((SECONDS + limit))
  while [ "$SECONDS" -le "$end" ]; do
    if ! tmux_capture "$name" | grep -qF -- "$text"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# tmux_exit_code NAME [SECONDS]: prints the exit code of the last tmux_run once
# the command has ended; fails when it does not end in time.
tmux_exit_code() {
  local name=$1 limit=${2:-$TMUX_TEST_TIMEOUT}
  local end=$((SECONDS + limit))
  while [ "$SECONDS" -le "$end" ]; do
    if [ -s "$TMUX_TEST_DIR/$name.exit" ]; then
      cat "$TMUX_TEST_DIR/$name.exit"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# tmux_cancel SESSION [SECONDS]: Esc and yes to the cancel question, Enter at the
# closing prompt; the program must then end with exit code 0.
tmux_cancel() {
  local name=$1 limit=${2:-$TMUX_TEST_TIMEOUT} code
  tmux_send "$name" Escape
  # An Esc followed within its timeout by a letter reads as Alt+letter; a person is
  # never that fast.
  sleep 0.2
  tmux_wait_for "$name" "Rezygnujesz z konwersji danych na nowy rok ?" ||
    fail "no cancel question in $name"
  tmux_send "$name" t
  tmux_wait_for "$name" "Nacisnij Enter" || fail "no closing prompt in $name"
  tmux_send "$name" Enter
  code=$(tmux_exit_code "$name" "$limit") || fail "the program in $name did not end"
  [ "$code" = 0 ] || fail "exit code $code after cancelling in $name"
}

tmux_resize() {
  tmux_cmd resize-window -t "$1" -x "$2" -y "$3"
}

tmux_kill() {
  tmux_cmd kill-session -t "$1" >/dev/null 2>&1 || true
}
