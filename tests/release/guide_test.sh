#!/usr/bin/env bash
# The bookkeeper's guide as Windows Notepad shows it: code page 1250 with CR LF line
# ends. Every byte must decode from code page 1250 and the text must hold nothing but
# printable ASCII and the Polish letters: a guide saved as UTF-8 or in code page 852
# decodes into other letters (or not at all) and would reach the reader as garbage.
# Lines fit a window of 80 columns.
# Usage: guide_test.sh INSTRUKCJA.TXT
set -u
guide=${1:?usage: guide_test.sh INSTRUKCJA.TXT}
fail() {
  echo "FAIL: $guide: $*"
  exit 1
}
[ -s "$guide" ] || fail "missing or empty"
text=$(iconv -f CP1250 -t UTF-8 "$guide" 2>/dev/null) || fail "does not decode from code page 1250"
# Only the letters a Polish text needs: each is deleted as its bytes, whatever the
# locale, and what is left must be printable ASCII.
rest=$text
for letter in ą ć ę ł ń ó ś ź ż Ą Ć Ę Ł Ń Ó Ś Ź Ż; do rest=${rest//$letter/}; done
odd=$(printf '%s' "$rest" | LC_ALL=C tr -d ' -~\r\n' | od -An -c | head -3)
[ -z "$odd" ] || fail "characters other than ASCII and Polish letters: $odd"

lines=$(LC_ALL=C tr -cd '\n' <"$guide" | wc -c)
returns=$(LC_ALL=C tr -cd '\r' <"$guide" | wc -c)
crlf=$(LC_ALL=C grep -c $'\r$' "$guide")
[ "$lines" -gt 0 ] && [ "$returns" = "$lines" ] && [ "$crlf" = "$lines" ] ||
  fail "line ends are not all CR LF ($lines LF, $returns CR, $crlf CR LF)"
[ "$(tail -c 2 "$guide" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the last line has no CR LF"
# One byte a character in code page 1250.
wide=$(LC_ALL=C tr -d '\r' <"$guide" | LC_ALL=C awk 'length > 78 { print NR ": " length }' | head -3)
[ -z "$wide" ] || fail "lines wider than 78 columns: $wide"
echo "guide: $lines lines in code page 1250 with CR LF"
