#!/usr/bin/env bash
# Makes the seed corpora of fuzz/corpus/<target> from sample installations of the
# sample generator: a few seeds, each file kind put where its target reads it, a byte of
# options before the files of the copy steps, no more than a few dozen small files a
# target. Run again after the generator or a target's input format changes:
#   fuzz/make_corpus.sh path/to/zq-sample
set -euo pipefail
sample=${1:?usage: fuzz/make_corpus.sh path/to/zq-sample}
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf corpus
max_files=24

# put TARGET NAME [OPTION-BYTE] < bytes: one seed, skipped once the target has enough.
put() {
  local dir=corpus/$1
  mkdir -p "$dir"
  local most=$max_files
  # A tax form is 14 KB a record, an asset 39 KB: fewer of them, and of the many small bases.
  case $1 in
    records.fixed_assets | records.payroll) most=3 ;;
    records.pid5 | records.pit28 | records.ledger_entries | records.repayments | \
      records.address_base | records.automation | records.route_costs | records.one_off_assets | \
      records.transfers | records.internal_documents) most=8 ;;
  esac
  [ "$(ls "$dir" | wc -l)" -lt "$most" ] || { cat >/dev/null; return; }
  if [ -n "${3:-}" ]; then
    { printf "\\x$3"; cat; } >"$dir/$2"
  else
    cat >"$dir/$2"
  fi
}
# The first N records of SIZE bytes of a file: seeds stay small.
records() { head -c $(($2 * $3)) "$1"; }

for seed in 1 2 3 4; do
  out=$work/s$seed
  "$sample" --out "$out" --seed "$seed" --firms 6 --program-dir "$out/prog" >/dev/null
  # The remembered paths name this run's scratch directory: a fixed root instead keeps
  # the seeds the same from run to run.
  sed "s|$out|C:\\\\BIURO|g" "$out/prog/zq18-20.PTH" | put pth "s$seed"
  put lst "s$seed" <"$out/prog/zq18-20.LST"
  put colours "s$seed" <"$out/DOR_2019/#BIN980/KOLORY.ZQ"
  put firm_list "s$seed" <"$out/DOR_2019/SPISFIRM.DAT"
  put firm_list "t$seed" <"$out/DOR_2020/SPISFIRM.DAT"
  for f in "$out"/DOR_2019/*/ "$out/DOR_2019/#BIN980/"; do
    firm=$(basename "$f" | tr -c 'A-Za-z0-9_\n' '_')
    id=s$seed-$firm
    for ini in "$f"*.INI "$f"*.ini; do
      [ -f "$ini" ] || continue
      put ini "$id-$(basename "$ini")" <"$ini"
      put text_file "$id-$(basename "$ini")" <"$ini"
    done
    for txt in "$f"*.txt "$f"*.TXT; do
      [ -f "$txt" ] && put text_file "$id-$(basename "$txt" | tr -c 'A-Za-z0-9_.\n' '_')" <"$txt"
    done
    [ -f "$f/FIRMATXT.INI" ] && put firm_text "$id" <"$f/FIRMATXT.INI"
    [ -f "$f/_zq_dor.rek" ] && put marker "$id" <"$f/_zq_dor.rek"
    [ -f "$f/FIRMA_A8.REK" ] && records "$f/FIRMA_A8.REK" 224 4 | put records.firm_address "$id"
    [ -f "$f/2020ZAL.REK" ] && records "$f/2020ZAL.REK" 1024 3 | put records.advance_payments "$id"
    [ -f "$f/DANE_PR8.REK" ] && records "$f/DANE_PR8.REK" 2048 2 | put records.persons "$id" 0$seed
    [ -f "$f/DANE_PR8.REK" ] && records "$f/DANE_PR8.REK" 2048 2 | put protection "$id" 0$seed
    [ -f "$f/DANE_PF8.REK" ] && records "$f/DANE_PF8.REK" 352 4 | put records.families "$id" 0$seed
    [ -f "$f/2020UZ3.REK" ] && records "$f/2020UZ3.REK" 552 4 | put records.contracts "$id" 0$seed
    for p5 in "$f/2019p5.13" "$f/2020p5.13"; do
      [ -f "$p5" ] && records "$p5" 13952 1 | put records.pid5 "$id-$(basename "$p5")" 0$seed
    done
    for p28 in "$f/2019_p28.rek" "$f/2020_p28.rek"; do
      [ -f "$p28" ] && records "$p28" 13952 1 | put records.pit28 "$id-$(basename "$p28")" 0$seed
    done
    # Kinds kept in several files of a firm: months, route costs, trips.
    for m in "$f"2020K880.* "$f"2020SP.* "$f"_2020/*.kst "$f"_2020/*.wyj; do
      [ -f "$m" ] || continue
      case $m in
        *K880.*) records "$m" 400 3 | put records.ledger_entries "$id-$(basename "$m")" ;;
        *SP.*) records "$m" 48 4 | put records.repayments "$id-$(basename "$m")" ;;
        *.kst) records "$m" 572 2 | put records.route_costs "$id-$(basename "$m")" ;;
        *) records "$m" 128 5 | put records.trips "$id-$(basename "$m")" ;;
      esac
    done
    # One file of a firm or of the program each, the first records of it.
    while read -r file size count target; do
      [ -f "$f/$file" ] && records "$f/$file" "$size" "$count" | put "records.$target" "$id"
    done <<EOF
2020WP2.REK  10176 1 payroll
baza_ad8.rek   480 4 address_base
baza_us8.rek   480 4 tax_office_base
2019_BR.REK    384 2 office_data
BAZA_PP8.REK   432 3 transfers
BAZA_DW8.REK   784 3 internal_documents
2020_NK8.REK   848 3 notes
ODS_ZOB.REK    200 4 interest_lists
AUTOV26.REK    320 4 vehicles
ESTUJ.REK      768 3 one_off_assets
srodki.rek   39771 1 fixed_assets
st.cnf        3837 1 asset_settings
stbazy.rek     367 4 asset_bases
km.cnf        2395 1 mileage_settings
adresy.rek     557 4 mileage_addresses
samochod.rek   704 2 cars
EOF
    [ -f "$f/OPERATOR.REK" ] && records "$f/OPERATOR.REK" 512 4 | put records.operators "$id" 0$seed
    for a in "$f/baza_sp8.rek" "$f/baza_za8.rek"; do
      [ -f "$a" ] && records "$a" 160 4 | put records.automation "$id-$(basename "$a")"
    done
    for dra in "$f"2020D4*; do
      [ -f "$dra" ] || continue
      put dra "$id-$(basename "$dra")" <"$dra"
      records "$dra" 896 1 | put records.dra_balance "$id-$(basename "$dra")"
    done
    # Annual settings: options (which files, warnings, answers), the 2019 file's length, the files.
    if [ -f "$f/2019_ROK.REK" ]; then
      { printf '\x05\x00\x06'; cat "$f/2019_ROK.REK"; } | put annual "$id-2019"
      if [ -f "$f/2020_ROK.REK" ]; then
        { printf '\x37\x00\x06'; cat "$f/2019_ROK.REK" "$f/2020_ROK.REK"; printf 'T12\r'; } |
          put annual "$id-both"
      fi
    fi
  done
done

# Kinds the sample trees do not hold: made from the records they do.
for n in 1 2 3; do
  # Payroll list settings of layout 4 and older, from sample person bytes.
  src=$(ls corpus/records.persons | head -n $n | tail -n 1)
  { head -c 610 "corpus/records.persons/$src" | tail -c 609; printf '\x04'; head -c 1437 /dev/zero; } |
    put records.wage_settings "layout4-$n"
  { tail -c +2 "corpus/records.persons/$src" | head -c 2048; } | put records.wage_settings "older-$n"
done
# Terminal input: keys, escape sequences of several terminals, UTF-8 letters, mouse reports.
printf 'abc\r\t\x7f\x01\x1a' | put key_decoder plain
printf '\x02\x1b[A\x02\x1b[1;5B\x03\x1bOP\x04\x1b[15~\x05\x1b[3;2~' | put key_decoder cursor
printf '\x03\xc4\x85\xc5\x82\x05\xc5\xbc\xc3\xb3\x01\x1bq' | put key_decoder letters
printf '\x07\x1b[<0;10;5M\x07\x1b[<0;10;5m\x05\x1b[M !!' | put key_decoder mouse
printf '\x81\x1b\x01\x1b\x02\x1b[\x08\x1b[200~pasted\x1b[201~' | put key_decoder partial
