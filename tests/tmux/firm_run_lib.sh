# Helpers of the tests that carry a generated office through a whole run (Linux
# terminal and Windows console alike). Source after lib.sh.

# tree_sums DIR: a checksum line for every file under DIR, in name order.
tree_sums() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 md5sum); }

# sample_firms SAMPLE_OUTPUT: the directories of the firms the selection will offer
# (the first word of their line), into the array `firms`; the number of firms the
# sample put in the Target tree already, into `carried`.
sample_firms() {
  mapfile -t firms < <(grep -F '(to carry over)' "$1" | awk '{print $1}')
  [ ${#firms[@]} -ge 3 ] || fail "the sample offers too few firms"
  carried=$(grep -cF '(already in DOR_2020)' "$1")
}

# walk_to_start SESSION: from page 1 of the Wizard through the other three with
# PgDn, then F5 starts the copy with every default choice.
walk_to_start() {
  tmux_wait_for "$1" " Lokalizacja " || fail "no page 1"
  tmux_send "$1" PageDown
  tmux_wait_for "$1" " Dane globalne, konfiguracyjne " || fail "no page 2"
  tmux_send "$1" PageDown
  tmux_wait_for "$1" " Dane firmowe " || fail "no page 3"
  tmux_send "$1" PageDown
  tmux_wait_for "$1" " START KOPIOWANIA " || fail "no page 4"
  tmux_send "$1" F5
}

# answer_run SESSION SECONDS: from the start of the copy on, the program asks what
# it needs; each question is answered as it comes (it is then the last line
# written), until the closing prompt. The last screen goes to `screen`, the number
# of answers to `answered`.
answer_run() {
  local session=$1 end=$((SECONDS + $2)) line
  answered=0
  reported=0
  while :; do
    [ "$SECONDS" -le "$end" ] || fail "the run did not reach its end"
    screen=$(tmux_capture "$session")
    line=$(sed -e 's/[[:space:]]*$//' <<<"$screen" | grep -v '^$' | tail -n 1)
    if grep -qF " BAZA FIRM " <<<"$screen"; then
      tmux_send "$session" F5
    elif [ "$reported" = 0 ] && grep -qF " ZESTAWIENIE " <<<"$screen"; then
      reported=1
      tmux_send "$session" Enter
    elif [[ $line == *"(B/N/A) ?"* ]]; then
      tmux_send "$session" n
    elif [[ $line == "Napraw plik"* || $line == "mogę przenieść"* ]]; then
      tmux_send "$session" Space
    elif [[ $line == "Nacisnij Enter"* ]]; then
      break
    else
      sleep 0.2
      continue
    fi
    answered=$((answered + 1))
    [ "$answered" -le 40 ] || fail "too many questions"
    sleep 0.4
  done
  grep -qF "Koniec pracy kopiera danych DOR_ZQ na rok 2020" <<<"$screen" || fail "no closing line"
  [ "$reported" = 1 ] || fail "no report window before the end"
  if grep -qF "Nie dopisano" <<<"$screen"; then fail "a firm was not added"; fi
}

# check_carried WORK: every firm of `firms` is in WORK/DOR_2020 with its marker,
# annual settings, declarations and listed files, and the Target firm list holds
# them and the `carried` ones.
check_carried() {
  local work=$1 firm dir marker at src name first expected
  word() { od -An -tu2 -j "$2" -N 2 "$1" | tr -d ' '; }
  for firm in "${firms[@]}"; do
    dir="$work/DOR_2020/$firm"
    [ -d "$dir" ] || fail "no Target directory $firm"
    marker="$dir/_zq_dor.rek"
    [ "$(stat -c %s "$marker")" = 256 ] || fail "$firm: marker not 256 bytes"
    for at in 0 2 4; do [ "$(word "$marker" $at)" = 2020 ] || fail "$firm: marker year at $at"; done
    [ "$(od -An -tu1 -j 7 -N 1 "$marker" | tr -d ' ')" = 1 ] || fail "$firm: marker flag"
    cmp -s <(tail -c 248 "$marker") <(tail -c 248 "$work/DOR_2019/$firm/_zq_dor.rek") ||
      fail "$firm: marker bytes 8..255 changed"
    [ "$(stat -c %s "$dir/2020_ROK.REK")" = 1536 ] || fail "$firm: no annual settings"
    for src in "$work/DOR_2019/$firm"/2020D4*; do
      [ -e "$src" ] || continue
      name=$(basename "$src")
      [ -e "$dir/${name:0:5}5${name:6}" ] || fail "$firm: no declaration for $name"
    done
    if [ -e "$work/DOR_2019/$firm/Cennik.txt" ]; then
      cmp -s "$work/DOR_2019/$firm/Cennik.txt" "$dir/Cennik20.txt" || fail "$firm: Cennik20.txt"
    fi
    if [ -e "$work/DOR_2019/$firm/km2020.rek" ]; then
      cmp -s "$work/DOR_2019/$firm/km2020.rek" "$dir/km2020.rek" || fail "$firm: km2020.rek"
    fi
  done
  # The first firm holds every kind of declaration: the negative one has its
  # magnitude at 526 and 0 at 534, and loses its short last block.
  first="$work/DOR_2020/${firms[0]}"
  [ "$(stat -c %s "$first/2020D503.002")" = $((896 + 448)) ] || fail "short block not dropped"
  [ -e "$first/2020D504.2020" ] || fail "a long declaration name was cut"

  expected=$(((${#firms[@]} + carried) * 103))
  [ "$(stat -c %s "$work/DOR_2020/SPISFIRM.DAT")" = "$expected" ] || fail "Target firm list size"
}
