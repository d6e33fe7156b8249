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
# it, SOURCE must be written in the code page. A \xHH escape is a byte of the code page either
# way. The report then reaches the console in its OEM code page (CharToOemA).
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

if [ "$from_utf8" = 1 ]; then
  # The byte order mark has no form in the code page; the parser below would drop it anyway.
  if ! sed '1s/^\xEF\xBB\xBF//' "$source_file" | iconv -f UTF-8 -t "CP$codepage" >"$work/source"; then
    echo "make-language-dll: $source_file is not UTF-8, or holds a character that code page $codepage lacks" >&2
    exit 1
  fi
  source_file=$work/source
fi

# The entries as a STRINGTABLE: printable ASCII as it is, every other byte (and the quote and
# the backslash) as an octal escape, so that no byte depends on how the resource compiler reads
# the file's own encoding.
perl -e '
  use strict; use warnings;
  binmode STDIN; binmode STDOUT;
  local $/; my $data = <STDIN>; $data = "" unless defined $data;
  $data =~ s/^\xEF\xBB\xBF//;
  my %text;
  for my $line (split /\n/, $data, -1) {
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
    next unless $ok;
    $text{$digits + 0} = substr($out, 0, $keep);
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
' <"$source_file" >"$work/module.rc"

if ! grep -q '^  [0-9]' "$work/module.rc"; then
  echo "make-language-dll: $source_file holds no entry" >&2
  exit 1
fi
"$prefix-windres" -c "$codepage" -i "$work/module.rc" -o "$work/module.o"
"$prefix-gcc" -shared -nostdlib -Wl,--entry=0 -s -o "$work/module.dll" "$work/module.o"
cp "$work/module.dll" "$output"
