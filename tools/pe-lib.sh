# Shell helpers for Windows programs (PE files), sourced by the scripts that run or
# pack them.

# pe_machine FILE: the machine a PE program is built for, from its header, as four
# hex digits: 014c for i386 (32-bit), 8664 for x86-64. Nothing for another file.
pe_machine() {
  local header
  [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 0
  header=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$header" ] || return 0
  [ "$(od -An -c -j "$header" -N 4 "$1" 2>/dev/null | tr -d ' ')" = 'PE\0\0' ] || return 0
  od -An -t x2 -j $((header + 4)) -N 2 "$1" 2>/dev/null | tr -d ' '
}
