#!/usr/bin/env bash
# The output of `kova eval` and `kova expr`, line by line, including --base files that must
# stay inside their folder.
set -euo pipefail
kova=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/base/Data" "$tmp/outside"
printf 'one\r\ntwo\n' > "$tmp/base/Data/Text.TXT"
echo secret > "$tmp/outside/secret.txt"

"$kova" eval --typed --now 2024-03-03T10:20:30 --seed 7 --base "$tmp/base" \
  --var f:float --var s:str=表 --var a:str -- \
  '1 + 2' '2.5 + 1' 'f = -1.5' 'f' '"abc" ++ Calc("1 + 1")' 'a b = = 1' 's ++ JLength(s)' \
  '1 / 0' '@Week' 'GetWeekStr(EncodeDate(@Year, @Month, @Day))' 'Random(1000)' \
  'LoadTextFile(a, "data\text.txt")' 'ArrayToString(a, "|")' \
  'FileExists("..\outside\secret.txt")' 'FileExists("\etc\passwd")' '1e15 * 1.0' \
  > "$tmp/got"
cat > "$tmp/want" <<'OUT'
int:3
float:3.5
<none>
float:-1
str:abcTRUE
!compile: 構文エラー
str:表1
<none>
int:1
str:Sunday
int:219
bool:TRUE
str:one|two
bool:FALSE
bool:FALSE
float:1E15
OUT
diff -u "$tmp/want" "$tmp/got"

test "$("$kova" expr compile 'x = 5')" = 01000000010100000078010000000105000000
"$kova" expr dump "$("$kova" expr compile 'a[1] = Length("x") * -b')" > "$tmp/got"
cat > "$tmp/want" <<'OUT'
[0] ____0 := "x"
[1] ____1 := Length(____0)
[2] ____d_2 := a[1]
[3] ____3 := 0 - b
[4] ____4 := ____1 * ____3
[5] ____d_2 := ____4
OUT
diff -u "$tmp/want" "$tmp/got"
if "$kova" expr dump 0a 2>/dev/null; then echo "a broken stored form was accepted"; exit 1; fi
echo ok
