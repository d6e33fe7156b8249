#!/usr/bin/env bash
# Makes a Windows language module, a resource-only DLL, from a text language module:
#     tools/make-language-dll.sh [--from-utf8] SOURCE OUTPUT
#     (tools/make-language-dll.sh --from-utf8 share/framecalc.DEU.lang framecalc.DEU)
#
# SOURCE has the format of the Linux build's language modules (docs/language-modules.md): one
# entry a line, `identifier = text`, "#" comment lines, the escapes \r \n \t \\ \xHH, blanks around
# the text dropped, a malformed line skipped, a later line for an identifier replacing an earlier
# one, an empty text the same as none. So one translation serves both systems.
#
# Character set: the text's bytes are taken as they are written and read as the Windows ANSI
# code page FRAMECALC_CODEPAGE (1252, Western European, unless set): windres turns them into
# the DLL's UTF-16 string table with that code page, and LoadStringA turns them back into the
# ANSI code page of the machine that runs the program. Where both are the same the program gets
# the very bytes of SOURCE. With --from-utf8, SOURCE is UTF-8 (as the Linux modules are) and its
# text is converted to the code page first; a character the code page lacks is an error. Without
# it, SOURCE must be written in the code page (iconv -f UTF-8 -t CP1252). A \xHH escape is a byte
# of the code page either way. The report then reaches the console in its OEM code page
# (CharToOemA). A text with a byte the code page does not define (in 1252: 81 8D 8F 90 9D) stops
# the tool with the line and the byte, status 1, and no OUTPUT written. A text with a zero byte
# (written, or \x00) is malformed.
#
# The DLL is built with FRAMECALC_MINGW_PREFIX (i686-w64-mingw32 unless set, or x86_64-w64-
# mingw32 when only that one is installed): windres, then gcc -shared -nostdlib without an entry
# point. It holds nothing but the string table, and the program only ever loads it as data.
set -euo pipefail

from_utf8=0
if [ "${1:-}" = --from-utf8 ]; then
  from_utf8=1
  shift
fi
if [ $# -ne 2 ]; then
  echo "usage: tools/make-language-dll.sh [--from-utf8] SOURCE OUTPUT" >&2
  exit 2
fi
source_file=$1
output=$2
codepage=${FRAMECALC_CODEPAGE:-1252}
prefix=${FRAMECALC_MINGW_PREFIX:-}
if [ -z "$prefix" ]; then
  prefix=i686-w64-mingw32
  if ! command -v "$prefix-gcc" >/dev/null && command -v x86_64-w64-mingw32-gcc >/dev/null; then
    prefix=x86_64-w64-mingw32
  fi
fi
for tool in "$prefix-windres" "$prefix-gcc"; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-language-dll: $tool is missing (FRAMECALC_WINDOWS=1 bash tools/install-deps.sh)" >&2
    exit 2
  fi
done
if [ ! -r "$source_file" ]; then
  echo "make-language-dll: cannot read $source_file" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Messages name the file as the user gave it, also when its converted copy is read.
export MAKE_LANGUAGE_DLL_SOURCE="$source_file"
if [ "$from_utf8" = 1 ]; then
  # The byte order mark has no form in the code page; the parser below would drop it anyway.
  if ! sed '1s/^\xEF\xBB\xBF//' "$source_file" | iconv -f UTF-8 -t "CP$codepage" >"$work/source"; then
    echo "make-language-dll: $source_file is not UTF-8, or holds a character that code page $codepage lacks" >&2
    exit 1
  fi
  source_file=$work/source
fi

# The bytes a single-byte code page does not define, as the resource compiler reads the text
# (through iconv; in 1252: 81 8D 8F 90 9D): windres would cut a text silently at such a byte.
# Each byte from 0x80 up goes through iconv on a line of its own; a line that comes back empty
# held one. (In the code pages of two-byte characters a lone first byte is no character: their
# texts are not checked here.)
if ! printf 'A' | iconv -f "CP$codepage" -t UTF-8 >/dev/null 2>&1; then
  echo "make-language-dll: code page $codepage is unknown to iconv (FRAMECALC_CODEPAGE)" >&2
  exit 2
fi
undefined=""
case "$codepage" in
  932 | 936 | 949 | 950 | 1361 | 65001) ;;
  *)
    undefined=$(perl -e 'print map { chr($_) . "\n" } 128 .. 255' |
                   { iconv -c -f "CP$codepage" -t UTF-8 2>/dev/null || true; } |
                   perl -ne 'chomp; printf " %02X", 128 + $. - 1 if $_ eq ""')
    ;;
esac
export MAKE_LANGUAGE_DLL_UNDEFINED="$undefined" MAKE_LANGUAGE_DLL_CODEPAGE="$codepage"

# The entries as a STRINGTABLE: printable ASCII as it is, every other byte (and the quote and
# the backslash) as an octal escape, so that no byte depends on how the resource compiler reads
# the file's own encoding. A text that holds a byte the code page does not define stops the tool
# with the line and the byte, before anything is written.
perl -e '
  use strict; use warnings;
  binmode STDIN; binmode STDOUT;
  local $/; my $data = <STDIN>; $data = "" unless defined $data;
  $data =~ s/^\xEF\xBB\xBF//;
  my (%text, %lineOf);
  my %undefined = map { (hex($_), 1) } split " ", $ENV{MAKE_LANGUAGE_DLL_UNDEFINED};
  my $number = 0;
  for my $line (split /\n/, $data, -1) {
    ++$number;
    $line =~ s/\r$//;
    next unless $line =~ /^[ \t]*([0-9]+)[ \t]*=[ \t]*(.*)$/s;
    my ($digits, $rest) = ($1, $2);
    $digits =~ s/^0+(?=.)//;
    next if length($digits) > 5 || $digits > 65535;
    next if index($rest, "\0") >= 0;
    my ($out, $keep, $ok) = ("", 0, 1);
    while (length $rest) {
      my $c = substr($rest, 0, 1, "");
      if ($c ne "\\") { $out .= $c; $keep = length $out if $c ne " " && $c ne "\t"; next; }
      if ($rest =~ s/^r//) { $out .= "\r"; }
      elsif ($rest =~ s/^n//) { $out .= "\n"; }
      elsif ($rest =~ s/^t//) { $out .= "\t"; }
      elsif ($rest =~ s/^\\//) { $out .= "\\"; }
      elsif ($rest =~ s/^x([0-9A-Fa-f]{2})//) { $out .= chr(hex $1); }
      else { $ok = 0; last; }
      $keep = length $out;
    }
    next unless $ok && index($out, "\0") < 0;
    $text{$digits + 0} = substr($out, 0, $keep);
    $lineOf{$digits + 0} = $number;
  }
  for my $id (sort { $lineOf{$a} <=> $lineOf{$b} } keys %text) {
    for my $c (split //, $text{$id}) {
      next unless $undefined{ord $c};
      printf STDERR "make-language-dll: %s:%d: the byte 0x%02X is not defined in code page %s " .
        "(write the text in that code page, or choose another with FRAMECALC_CODEPAGE)\n",
        $ENV{MAKE_LANGUAGE_DLL_SOURCE}, $lineOf{$id}, ord $c, $ENV{MAKE_LANGUAGE_DLL_CODEPAGE};
      exit 1;
    }
  }
  print "STRINGTABLE\nBEGIN\n";
  for my $id (sort { $a <=> $b } keys %text) {
    next if $text{$id} eq "";
    my $quoted = join "", map {
      my $b = ord $_;
      ($b >= 0x20 && $b < 0x7F && $_ ne "\"" && $_ ne "\\") ? $_ : sprintf("\\%03o", $b)
    } split //, $text{$id};
    print "  $id, \"$quoted\"\n";
  }
  print "END\n";
' <"$source_file" >"$work/module.rc" || exit 1

if ! grep -q '^  [0-9]' "$work/module.rc"; then
  echo "make-language-dll: $source_file holds no entry" >&2
  exit 1
fi
"$prefix-windres" -c "$codepage" -i "$work/module.rc" -o "$work/module.o"
"$prefix-gcc" -shared -nostdlib -Wl,--entry=0 -s -o "$work/module.dll" "$work/module.o"
cp "$work/module.dll" "$output"
