#!/bin/sh
# Writes the seed corpora with printf so every CP932 byte and line end is exact.
# Run from anywhere; the files land next to this script: books in fuzz/corpus, profiles in
# fuzz/corpus_profile, shell requests in fuzz/corpus_requests, address box texts in
# fuzz/corpus_addresstext.
set -eu
out="$(dirname "$0")/corpus"
mkdir -p "$out"

# CP932 bytes of the names used below.
NAME='\226\274\221\117'   # 名前
SOFT='\203\134'           # ソ (second byte is a backslash)
HYOU='\225\134'           # 表 (second byte is a backslash)
YAMADA='\216\122\223\143' # 山田
TARO='\221\276\230\131'   # 太郎
FWSPACE='\201\100'        # full-width space, never a blank

# The worked example of the format, CR LF line ends.
printf "#memo\r\nGROUP ${NAME}1\r\n  ${NAME}2: addr1,addr2\r\n  SEPARATOR\r\n  GROUP ${NAME}3\r\n  END GROUP\r\n  ${NAME}4: addr3, addr4\r\nEND GROUP\r\n\r\n${NAME}5:\r\naddr5\r\n" \
    >"$out/worked_example_crlf.tlw"

# CR-only line ends, no line end after the last line.
printf "GROUP ${YAMADA}\r  ${YAMADA}${TARO}: taro@example.jp,03-1234-5678\r  SEPARATOR\rEND GROUP\r${SOFT}${HYOU}: a,b" \
    >"$out/cr_only.tlw"

# LF-only line ends, TAB indentation, a blank-only line and a final line end.
printf "GROUP friends\n\tGROUP school\n\t\talice: alice@example.com\n\t\t \n\tEND GROUP\n\tbob: +81-90-1111-2222, bob@example.org,\nEND GROUP\n" \
    >"$out/lf_only.tlw"

# Deep nesting, left open at the end of the file.
{
    i=0
    while [ $i -lt 40 ]; do
        printf 'GROUP level%d\r\n' $i
        i=$((i + 1))
    done
    printf "deep: d@example.com\r\nEND GROUP\r\nafter: a@example.com\r\n"
} >"$out/deep_nesting.tlw"

# END GROUP with no open group: as the first line, at the top level, with trailing text.
printf "END GROUP\r\nfirst: 1\r\nEND GROUP trailing text\r\nGROUP g\r\nEND GROUP\r\nEND GROUP\r\nEND GROUP\r\nlast: 2\r\n" \
    >"$out/stray_end_group.tlw"

# Keywords in odd forms: lower case, two spaces, glued names, VT/FF blanks, full-width space.
printf "group lower\r\nEND  GROUP\r\nGROUPglued\r\nGROUP\r\nSEPARATORjunk\r\nEND GROUPjunk\r\n \t#comment\r\na#b: c\r\n\013\014GROUP vtff\r\n${FWSPACE}GROUP wide\r\n:\r\n::,,\r\n  name  :   x , y,,\r\nSEPARATO\r\nEND GROU\r\nGROU\r\n" \
    >"$out/odd_keywords.tlw"

# Every kind of line end mixed: LF CR counts as two, CR CR leaves an empty line between.
printf "a: 1\r\nb: 2\n\rc: 3\r\rd: 4\n\ne: 5\r" >"$out/mixed_line_ends.tlw"

# One line of several hundred bytes.
{
    printf "${YAMADA}: "
    i=0
    while [ $i -lt 60 ]; do
        printf 'user%02d@example.com,' $i
        i=$((i + 1))
    done
    printf "end\r\n"
} >"$out/long_line.tlw"

# Profiles (INI files, UTF-8 paths) for fuzz_profile.
out="$(dirname "$0")/corpus_profile"
mkdir -p "$out"

# As hand edits may leave it: byte order mark, CR LF, comments, blank lines, odd spacing, an
# out-of-range number, and no line end after the last line.
printf '\357\273\277; kept by hand\r\n\r\n[Recent File List]\r\nFile1 = /home/u/a b.tlw \t\r\nFile2="  /home/u/edge.tlw "\r\n\r\n[Settings]\r\nPreviewPages=99999999999\r\n[Other Program]\r\nKey=a=b' \
    >"$out/hand_edited.INI"

# LF line ends, names in another case, duplicate keys, a nameless section and Japanese paths.
printf '[recent file LIST]\nfile1=/home/\343\203\246\343\203\274\343\202\266/\344\275\217\346\211\200.tlw\nFILE1=/second.tlw\nFile3=\n[]\nNameless=1\n[Settings]\npreviewpages = -7\n' \
    >"$out/lf_names.INI"

# Lines before any section, a lone CR inside a value, CR CR LF, an unclosed header, a
# Latin-1 byte, and a last line ending in a bare CR.
printf 'orphan=1\n\t\n[Recent File List\r\n[Recent File List]\r\nMid=a\rb\r\r\nFile4=\351t\351\r\n;File2=/commented.tlw\r\n[Settings]x\r\nPreviewPages=+3abc\r' \
    >"$out/odd_lines.INI"

# Shell requests for fuzz_requests: one, several with CR LF and no final line end, doubled
# quotes and a Shift-JIS path, a line past the fuzzer's 64-byte bound with a request in
# its tail, and byte order marks after bytes that are not UTF-8.
out="$(dirname "$0")/corpus_requests"
mkdir -p "$out"
printf '[open("/home/u/a.tlw")]\n' >"$out/open.txt"
printf '[open("a")][print("b")]\r\n[printto("f","prn","drv","port")]' >"$out/several.txt"
printf '[open("say ""hi"" [1].tlw")]\n[open("\203\145\203\130\203\147.tlw")]\n' >"$out/quotes_sjis.txt"
printf 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx[open("tail")]\n[open(\n' \
    >"$out/overlong.txt"
printf '\357\273\277[open("\377\357\273\277\357\273\277.tlw")]\n' >"$out/byte_order_marks.txt"

# Address box texts for fuzz_addresstext, which reads each both as UTF-8 and as UTF-16:
# Japanese with full-width spaces at the ends and JIS variants (〜 － ∥), half-width kana,
# backslash beside the yen sign and overline that CP932 lacks, every line end, blank lines
# and a last line without a break, characters CP932 cannot hold and bytes that are not UTF-8,
# UTF-16 with lone surrogates around a pair, and raw CP932 bytes as a book holds them.
out="$(dirname "$0")/corpus_addresstext"
mkdir -p "$out"
printf '\350\212\261\345\255\220 <hanako@example.jp>\n\343\200\200\345\261\261\347\224\260\343\200\200\345\244\252\351\203\216\343\200\200\n\343\200\234\357\274\215\342\210\245\347\272\212\351\253\231\n' >"$out/japanese.txt"
printf '\357\275\261\357\275\262\357\275\263\357\275\264\357\275\265 \357\276\212\357\276\235\357\275\266\357\275\270\n\357\275\266\357\276\236\357\275\267\357\276\236\357\275\270\357\276\236\357\275\241\357\275\242\357\275\243\n' >"$out/halfwidth_kana.txt"
printf 'C:\\dir\\file\n\302\245100\n\342\200\276over\n\343\202\275\350\241\250\n' >"$out/yen_backslash.txt"
printf 'a\r\nb\rc\n\r\n  d  \r\n\t\013\014e\014\n' >"$out/line_ends.txt"
printf '\n\n   \n\t\nx\n \n  tail  ' >"$out/blank_lines.txt"
printf 'ok\n\355\225\234\303\261\360\237\230\200\nx\357\277\275\na\302\240b\nzero\342\200\213width\n\363\240\200\201tag\n\377\376\200\n' >"$out/unencodable.txt"
printf 'a\000\n\000\000\330\n\000=\330\000\336\000\334b\000\r\000\n\000\261\202 \000' >"$out/utf16_surrogates.txt"
printf '\211\324\216q\n\355@\n\372\\\nx\200\n' >"$out/cp932_bytes.txt"

# Contact files for fuzz_import, which reads each as vCard and as CSV: the mail-client cards
# of the tests (2.1 quoted-printable, 3.0 groups and parameters, 4.0), escapes, a folded
# emoji and a quoted parameter, and CSV rows with doubled quotes, escaped group names and a
# line break inside a quoted field.
out="$(dirname "$0")/corpus_import"
mkdir -p "$out"
cp "$(dirname "$0")/../tests/exchange/data/clients.vcf" "$out/clients.vcf"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:a\\, b:c\r\nCATEGORIES:x/y\\,z,w\r\nitem1.EMAIL;TYPE="a:b":e@x\r\nNOTE:l1\\nl2\r\n \360\237\230\200\r\nEND:VCARD\r\n' \
    >"$out/escapes.vcf"
printf 'Group,Name,Addresses\r\n"a/%%25/%%",say ""hi"",x@example.jp\r\n,\345\261\261\347\224\260,"1,\r\n2"\r\n' \
    >"$out/rows.csv"

# Texts for fuzz_roundtrip, whose first byte picks the place (0 group name, 1 name, 2 first
# address, 3 later address): each keyword at the start of a name, a colon in a name, commas
# and blanks in addresses, line ends inside a group name, and CP932 text whose second bytes
# are backslashes.
out="$(dirname "$0")/corpus_roundtrip"
mkdir -p "$out"
printf '\001#1 \222\123\223\226' >"$out/comment_name.txt"
printf '\001END GROUP' >"$out/end_group_name.txt"
printf '\001SEPARATOR---' >"$out/separator_name.txt"
printf '\001GROUPx: y' >"$out/group_name_as_entry.txt"
printf '\001\216\225\210\343\216\322: \211\167\221\117' >"$out/colon_name.txt"
printf '\000 lead\r\nx\rGROUP y' >"$out/group_line_breaks.txt"
printf '\002  a,b, c' >"$out/first_address_blanks.txt"
printf '\003 a,,b\n' >"$out/later_address.txt"
printf '\001\203\134\225\134 END GROUP' >"$out/backslash_bytes.txt"
