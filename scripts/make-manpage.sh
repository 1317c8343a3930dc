#!/bin/sh
# Writes the manual page morvane.1. Its synopsis, commands and options come from the built
# program's own `morvane --help`, so that an option added to the program appears here without an
# edit; the settings keys come from the one list in cmake/packaging/settings.txt; the rest
# (description, exit status, files, examples) is written here.
#   scripts/make-manpage.sh MORVANE VERSION SETTINGS.txt OUT.1
# What is read of the help's layout: usage lines "  morvane ..."; a paragraph per command that
# begins with the command's name at the margin; options "  -x ARG" with their text from column
# 24 on (or after two blanks, when the name is longer); notes at the margin after the commands; the line "exit status: ..." (written here).
set -eu
morvane=$1 version=$2 settings=$3 out=$4
help=$(ASAN_OPTIONS=detect_leaks=0 "$morvane" --help)
day=$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" +%Y-%m-%d)

# Text for roff: backslashes kept, the dashes of an option's name made minus signs (options are
# then copied as typed); the awk programs mark bold, italic, roman and a guard as bytes 1 to 4.
roff() {
  sed -e 's/\\/\\e/g' -e 's/\(^\|[][ (|,"=\x01\x02]\)--/\1\\-\\-/g' \
    -e 's/\(^\|[][ (|,"=\x01\x02]\)-\([a-zA-Z]\)/\1\\-\2/g' \
    -e ':a' -e 's/\(\\-[a-z0-9]*\)-\([a-z]\)/\1\\-\2/' -e 'ta' \
    -e 's/\x01/\\fB/g; s/\x02/\\fI/g; s/\x03/\\fR/g; s/\x04/\\\&/g'
}

# SYNOPSIS, then COMMANDS, then the notes; each text line stripped of its indent (roff fills).
from_help() {
  awk -v want="$1" '
    function text(s) { sub(/^ +/, "", s); if (s ~ /^[.\047]/) s = "\004" s; put(s) }
    function put(s) { if (part == want) print s }
    function tag(t,   n, w, i, r) {
      n = split(t, w, " ")
      for (i = 1; i <= n; i++)
        r = r (i > 1 ? " " : "") (w[i] ~ /^-/ ? "\001" : "\002") w[i] "\003"
      return r
    }
    NR == 1 { part = "synopsis"; next }
    part == "synopsis" && /^  morvane / {
      split($0, w, " "); if (w[2] !~ /^-/ && w[2] != "COMMAND") cmds[w[2]] = 1
      put(".PP"); put(".B morvane"); text(substr($0, 11)); next
    }
    part == "synopsis" && /^$/ { part = "commands"; next }
    part == "synopsis" { text($0); next }
    /^exit status:/ { next }
    /^$/ { blank = 1; next }
    /^[a-z]/ && ($1 in cmds) { put(".SS " $1); text(substr($0, length($1) + 1)); opt = 0; blank = 0; next }
    /^  -/ {
      # The text begins at column 24; a longer name ends at two blanks, or ends the line.
      t = substr($0, 3); i = index(t, "  ")
      if (substr($0, 23, 1) == " ") { t = substr($0, 3, 20); d = substr($0, 24) }
      else if (i > 0) { d = substr(t, i); t = substr(t, 1, i - 1) }
      else d = ""
      sub(/ +$/, "", t); put(".TP"); put(tag(t)); if (d != "") text(d)
      opt = 1; blank = 0; next
    }
    /^                       / { text($0); next }
    /^        / { if (opt) put(".PP"); opt = 0; text($0); next }
    { if (part == "commands") part = "notes"; if (blank) put(".PP"); blank = 0; text($0) }
  '
}
synopsis=$(printf '%s\n' "$help" | from_help synopsis | roff)
commands=$(printf '%s\n' "$help" | from_help commands | roff)
notes=$(printf '%s\n' "$help" | from_help notes | roff)
# The settings list: "Key=default" lines, each followed by its indented meaning.
keys=$(awk '
  /^[A-Za-z]/ { split($0, kv, "="); print ".TP"
                print "\001" kv[1] "\003 (default: " (kv[2] == "" ? "empty" : "\001" kv[2] "\003") ")"; next }
  { s = $0; sub(/^ +/, "", s); if (s ~ /^[.\047]/) s = "\004" s; print s }' "$settings" | roff)

tmp=$out.tmp
cat >"$tmp" <<EOF
.TH MORVANE 1 "$day" "morvane $version" "User Commands"
.nh
.SH NAME
morvane \\- import Jedi Knight levels into JK2Radiant maps
.SH SYNOPSIS
$synopsis
.SH DESCRIPTION
.B morvane
runs, without the editor, what the Morvane plug-in of JK2Radiant runs: it reads a Jedi Knight
level (a JKL file, loose or inside a GOB or GOO container), converts the level's MAT textures with
a CMP palette into TGA or JPEG files in the game's texture folder, and writes the level's solid
surfaces as slab brushes into a Radiant .map file.
It also lists and extracts the entries of containers, converts whole folders or containers of
textures, and draws an import as a PNG picture.
.PP
.B morvane
.I COMMAND
.B \\-\\-help
(or
.BR \\-h )
explains one command,
.B morvane \\-\\-help
all of them, and
.B morvane \\-\\-version
prints the version.
$notes
.SH COMMANDS
$commands
.SH SETTINGS
The settings file holds
.IB name = value
lines. It is read before every command and written back after it when the command changed it
(a file that cannot be written is reported, not a failure). Without
.BR \\-\\-settings ,
.B morvane
reads
.IR \$XDG_CONFIG_HOME/morvane/morvane.ini ,
or
.I ~/.config/morvane/morvane.ini
when that variable is not set. The plug-in reads
.I morvane.ini
beside its DLL. The keys:
$keys
.SH EXIT STATUS
.TP
.B 0
The command succeeded.
.TP
.B 1
The command failed (for
.BR convert :
any texture failed); the reason is on standard error or in the console lines.
.TP
.B 2
Usage error: an unknown command or option, a missing argument, or an output that would replace
the input.
.SH ENVIRONMENT
.TP
.B XDG_CONFIG_HOME
where the default settings file lies
.RI ( \$XDG_CONFIG_HOME/morvane/morvane.ini ).
.TP
.B HOME
where it lies when XDG_CONFIG_HOME is not set
.RI ( ~/.config/morvane/morvane.ini ).
.SH EXAMPLES
Import the single level of a container into the game folder
.IR ~/jk2 ,
writing
.I level.map
in the current folder:
.PP
.RS
.nf
morvane import level.gob \\-\\-game\\-dir ~/jk2
.fi
.RE
.PP
Choose the level, the palette and the map file, with aligned textures and cleaned slabs:
.PP
.RS
.nf
echo 'JKPalette=res2.gob>>misc\\ecmp\\e01narsh.cmp' \\e
        >> ~/.config/morvane/morvane.ini
morvane import episode.goo \\-\\-entry 01narsh.jkl \\-\\-map narsh.map \\e
        \\-\\-align \\-\\-clean
.fi
.RE
.PP
List the levels of a container, take one out, and convert every texture of it into JPEG files:
.PP
.RS
.nf
morvane list res2.gob jkl\\e
morvane extract res2.gob jkl\\e01narsh.jkl \\-o narsh.jkl
morvane convert \\-\\-container res2.gob \\-\\-out textures \\-\\-format jpg
.fi
.RE
.SH SEE ALSO
The README in
.IR /usr/share/doc/morvane/ ,
and the notices of the libraries Morvane uses in
.IR /usr/share/doc/morvane/third\\-party/ .
EOF
mv "$tmp" "$out"
