#!/bin/bash
# Regenerates the checked-in seeds, one folder of corpus/ per target: make_corpus.sh [PACK-TOOL]
# (the package's seed books are made only when leafturn-pack is given).
set -eu
here=$(cd "$(dirname "$0")" && pwd)

# The other targets' seeds, written byte by byte.
seed() { mkdir -p "$here/corpus/$1" && printf -- "$3" >"$here/corpus/$1/$2"; }
octal() { printf '\\%03o' "$1"; }
# Little-endian u32 and a 1-byte-length text as printf formats.
le32() { printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
short() { printf '%s%s' "$(octal ${#1})" "$1"; }

seed int decimal '42'
seed int negative '   -17'
seed int hex-dollar '$1F'
seed int hex-0x '0X7fffffff'
seed int least '-$80000000'
seed int beyond '2147483648'
seed int exponent '1e3'

seed index shipped 'book.swf=1\r\nExeConfig.xml=2\r\nfiles/book.xml=3\r\nfiles/large/1.jpg=4\r\n'
seed index line-ends 'a=1\rb=$2\nB=3\r\n\000c=4'
seed index values 'x= 5\r\ny=0x6\r\nz=7x\r\n==8\r\nno equals\r\nempty=\r\n'

# The first byte says which sources answer yes: 1 asks the list, 2 it has the item, 4 a
# resource exists, 8 a file beside the executable, 16 another file.
seed requests package '\000http://ltb/book.swf'
seed requests package-folder '\000http://ltb/files\\page\\1.jpg'
seed requests resource '\004flvplayback.swf'
seed requests declined '\000./page.gif'
seed requests listed '\003http://ltb/Intro.swf?x=1'
seed requests beside '\010http://ltb/files/book.xml'
seed requests local-file '\020file:///C:/Data/Movie%%20One.swf'
seed requests file-alone '\000file://'
seed requests stream '\000http://ltb/<stream>0000001A.swf'
seed requests query '\000http://example.com/page.php?file=a.xml'
# Found by fuzzing: files whose path reads otherwise once its separators are "/".
seed requests unc '\020file://\\\\server\\x.xml'
seed requests slash-backslash '\020file:/\\x.xml'

seed collections none '\000'
seed collections current '\003\003\000\000\000abc\004\000\000\000wxyz'
seed collections older '\002\003\000\000\000abc\004\000\000\000\377\377\377\377wxyz'
seed collections unnamed '\003\007\000\000\000(empty)\003\000\000\000FWS'
# Found by fuzzing: a name length past 2 GiB.
seed collections far-name '\003\000\377\377\377\002\000\000\000xy'

# Descriptions of the target's component: an integer, a text, raw bytes, stored movies.
properties="$(short Tag)\004$(le32 9)$(short Hint)\006$(le32 2)hi"
properties="$properties$(short ControlData)\012$(le32 6)gUfU\001\002"
movie="\003$(le32 9)intro.swf$(le32 3)FWS"
item="\001$(short FlashStore)\006$(le32 9)intro.swf$(short Tag)\004$(le32 0)"
item="$item$(short FlashStream)\012$(le32 $((1 + 4 + 9 + 4 + 3)))$movie\000"
empty="\001$(short FlashStore)\006$(le32 7)(empty)$(short Tag)\004$(le32 1)"
empty="$empty$(short FlashStream)\012$(le32 1)\000\000"
header="TPF0$(short TStoredHost)$(short host)"
seed description host "$header$properties$(short Flashs)\016$item$empty\000\000"
seed description no-movies "$header$properties$(short Flashs)\016\000\000"
# Found by fuzzing: a stored movie that ends early inside a whole description.
seed description damaged-movie "$header$(short Flashs)\016\001$(short FlashStream)\012$(le32 5)\003$(le32 9)\000\000\000"
# An empty stored state (it once tripped the target itself).
seed description empty-state "$header$(short ControlData)\012$(le32 0)\000"

# An encoding (0 UTF-8, 1 with its mark, 2 and 3 UTF-16 LE and BE with a mark, 4 and 5
# without), then items: a byte of the content's length times 4 plus the kind (0 blanks,
# 1 a processing instruction, 2 a comment), then the content.
item() { printf '%s%s' "$(octal $((${#2} * 4 + $1)))" "$2"; }
seed prolog declaration "\000$(item 1 "xml version='1.0' encoding='utf-8'")$(item 0 "23")"
seed prolog comment "\001$(item 2 ' a comment ')$(item 0 '0')"
seed prolog utf-16 "\002$(item 1 'xml version="1.0"')$(item 2 '<!DOCTYPE x>')"
seed prolog utf-16-without-mark "\005$(item 0 '1')$(item 1 'pi')"
# Found by fuzzing: UTF-16 without a mark, beginning with a blank.
seed prolog utf-16-blank "\004$(item 0 ' ')"
seed prolog raw '<?xml version="1.0"?>\r\n<!DOCTYPE a [<!ENTITY b "c">]><a>&b;</a>'

# The head of a file, then three names separated by "/".
seed pages png '\211PNG\r\n\032\n\000\000\000\rIHDR/2.png/10.png'
seed pages jpeg '\377\330\377\340\000\020JFIF/Page 007.JPG/page7.jpg'
seed pages gif 'GIF89a\001\000\001\000/a/B'
seed pages bmp "BM$(le32 70)\000\000\000\000$(le32 54)$(le32 40)/1/01"
seed pages tiff 'II*\000\010\000\000\000/z9/Z10'
seed pages text 'BM is not a bitmap/x.txt/X.TXT'

# Page lists: the sample book's, entities and markup that holds no pages, one cut short.
seed pagelist book '<?xml version="1.0" encoding="utf-8"?>\n<book title="A Sample Book">\n  <page src="page/0001.png" large="large/0001.png"/>\n  <page src="page/0002.png"/>\n</book>\n'
seed pagelist markup "<!DOCTYPE book>\n<book title='x &gt; y'><!-- <page src='no.png'/> --><![CDATA[<page src='no.png'/>]]><?pi <page src='no.png'?><page number='1' src='./a&amp;b&#x20;&#233;.jpg'></page><pages src='no.png'/><page/><page src='&bogus; &#0; &#xD800;' large='C:\\\\big.png'/></book>"
seed pagelist cut-short '<book><page src="1.png"/><page src="2.p'
seed pagelist unquoted '<book><page src=1.png/></book>'

# Scenes of the stand-in: every keyword, and lines it notes and skips.
seed scene book '\357\273\277LEAFTURN-SCENE 1  \r\n\r\n# comment\npages files/book list.xml\r\nnext-keys Right pagedown Space\nprev-keys Left PageUp 0x42 $43\nfullscreen-key f\ncommand-key F5 fullscreen true\ncommand-key Q quit\n'
seed scene notes 'LEAFTURN-SCENE 1\nnext-keys Right Sideways F99 F0 F24 255\nfullscreen-key F Home\ncommand-key Escape\nturn-pages quickly\npages\n\000\377\n'
seed scene not-a-scene 'LEAFTURN-SCENE 2\npages a.xml\n'
# Found by fuzzing: a command that ends in a control character, with and without arguments.
seed scene command-control 'LEAFTURN-SCENE 1\ncommand-key F5 n\000e\001\ncommand-key F6 n\000e\001 args\n'
# Found by fuzzing: the keyword of a key at the very end.
seed scene key-missing 'LEAFTURN-SCENE 1\ncommand-key'

# Stored state: the control's mark, format 1, the extent, a count, then records of a property:
# its dispid, its variant type (3 a number, 11 a flag, 8 a text) and its value.
le16() { printf '\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)); }
number() { printf '%s' "$(le32 $1)$(le16 3)$(le32 $2)"; }
flag() { printf '%s' "$(le32 $1)$(le16 11)$(le16 $2)"; }
text() {
    local units="" i
    for ((i = 0; i < ${#2}; i++)); do units+="${2:i:1}\\000"; done
    printf '%s' "$(le32 $1)$(le16 8)$(le32 ${#2})$units"
}
header() { printf '%s' "$1\001\000\000\000$(le32 $2)$(le32 $3)$(le32 $4)"; }
records() {
    printf '%s' "$(number 105 $1)$(flag 106 -1)$(number 107 -1)$(number 120 0)$(number 121 0)"
    printf '%s' "$(number 123 -1)$(flag 125 -1)$(text 133 $2)$(text 134 '')$(flag 135 -1)"
    printf '%s' "$(text 136 '')$(text 137 ShowAll)$(flag 138 0)$(flag 139 0)$(text 140 '')"
    printf '%s' "$(text 141 High)$(text 159 '')$(text 170 "$3")$(text 171 sameDomain)"
    printf '%s' "$(text 190 '')$(flag 192 -1)"
}
initial="$(header LTSC 14552 10583 21)$(records 1 Window '')"
seed state standin-initial "$initial"
seed state pageturn-saved "$(header LTPT 19764 13229 21)$(records 3 Transparent page=3)"
seed state some-records "$(header LTSC 1000 2000 3)$(flag 106 2)$(text 170 'a&b')$(number 107 12)"
seed state truncated "$initial"
truncate -s 137 "$here/corpus/state/truncated"
seed state foreign "$(header gUfU 1 1 0)"
seed state too-many "$(header LTPT 1 1 22)"
seed state wrong-type "$(header LTSC 1 1 1)$(text 105 x)"
seed state oversized-text "$(header LTPT 1 1 1)$(le32 170)$(le16 8)$(le32 1048577)x\000"

# A book whose index has every kind of line end, values in other notations and a name twice.
index=$'book.swf=$1\rExeConfig.xml= 2\nfiles/BOOK.xml=0x3\r\nbook.swf=9\n'
config='<ExeConfig/>'
list='<book/>'
content=$((${#index} + 4 + ${#config} + ${#list}))
{
    printf 'MZ%s' "$index"
    printf 'FWS\006'
    printf '%s%s' "$config" "$list"
    printf "$(le32 ${#index})$(le32 4)$(le32 ${#config})$(le32 ${#list})$(le32 4)\000"
    printf "$(le32 $((content + 29)))$(le32 $(((content + 29) ^ 0x12345678)))"
} >"$here/corpus/package/odd-index"

[ $# -eq 1 ] || exit 0
pack=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'MZ' >"$work/viewer.exe"
mkdir -p "$work/book/files"
printf 'FWS\006' >"$work/book/book.swf"
printf '<?xml version="1.0"?><ExeConfig/>' >"$work/book/ExeConfig.xml"
printf '<book/>' >"$work/book/files/book.xml"
"$pack" build --viewer "$work/viewer.exe" --out "$here/corpus/package/plain" "$work/book" >/dev/null
"$pack" build --viewer "$work/viewer.exe" --out "$here/corpus/package/digest" --digest "$work/book" >/dev/null
mkdir -p "$work/one"
printf '' >"$work/one/empty"
"$pack" build --viewer "$work/viewer.exe" --out "$here/corpus/package/empty-entry" --digest "$work/one" >/dev/null

# Signed books: the least PE image that osslsigncode signs (PeImage() of tests/support), packed
# and signed; then its certificate table named beyond the file and over the package.
patch() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
head -c 512 /dev/zero >"$work/pe.exe"
patch "$work/pe.exe" 0 'MZ'
patch "$work/pe.exe" 60 '\100'
patch "$work/pe.exe" 64 'PE\0\0\114\001'
patch "$work/pe.exe" 84 '\340\0\002\001\013\001'
patch "$work/pe.exe" 180 '\020'
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=corpus \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
signed=$here/corpus/package/signed
"$pack" build --viewer "$work/pe.exe" --out "$signed" --digest --sign "$work/cert.pem" "$work/key.pem" \
    "$work/book" >/dev/null
# The table's entry: offset 216, its start and size as little-endian u32.
u32() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8 & 255)))\\$(printf %03o $(($1 >> 16 & 255)))\\$(printf %03o $(($1 >> 24 & 255)))"; }
size=$(wc -c <"$signed")
cp "$signed" "$here/corpus/package/signed-beyond"
patch "$here/corpus/package/signed-beyond" 220 "$(u32 $((size)))"
cp "$signed" "$here/corpus/package/signed-overlap"
patch "$here/corpus/package/signed-overlap" 216 "$(u32 520)"
