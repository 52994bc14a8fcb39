#!/usr/bin/perl
# Shows a Palm OS database as read by the Palm::PDB modules, independently of
# prcbuild: the header, then each entry's type, ID and size (resources) or
# unique ID and size (records). With --data each entry's bytes follow in hex.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;
use POSIX qw(strftime);

Palm::PDB::RegisterPRCHandlers("Palm::Raw", "");

my $with_data = 0;
if (@ARGV && $ARGV[0] eq '--data') { $with_data = 1; shift @ARGV; }
die "usage: palm-dump.pl [--data] FILE.prc|FILE.pdb\n" unless @ARGV == 1;

my $db = Palm::PDB->new;
$db->Load($ARGV[0]);
my $resource = $db->{attributes}{resource} ? 1 : 0;
my @flags = grep { $db->{attributes}{$_} } qw(resource backup);
my $time = sub { strftime("%Y-%m-%d %H:%M:%S UTC", gmtime($_[0])) };

printf "name:       %s\n", $db->{name};
printf "kind:       %s\n", $resource ? "resource database (.prc)" : "record database (.pdb)";
printf "attributes: %s\n", join(" ", @flags);
printf "version:    %d\n", $db->{version};
printf "type:       %s\n", $db->{type};
printf "creator:    %s\n", $db->{creator};
printf "created:    %s\n", $time->($db->{ctime});
printf "modified:   %s\n", $time->($db->{mtime});
# Palm::PDB makes no list at all for a database without entries.
my @entries = $resource ? @{$db->{resources} // []} : @{$db->{records} // []};
printf "entries:    %d\n", scalar @entries;
for my $i (0 .. $#entries) {
  my $e = $entries[$i];
  my $line = $resource
    ? sprintf("  %s %5d (0x%04x) %7d bytes", $e->{type}, $e->{id}, $e->{id}, length $e->{data})
    : sprintf("  record %d: uid %d, %d bytes", $i, $e->{id}, length $e->{data});
  $line .= ": " . join(" ", map { sprintf "%02x", $_ } unpack("C*", $e->{data})) if $with_data;
  print "$line\n";
}
