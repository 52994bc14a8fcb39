#!/usr/bin/perl
# The same database as prcbuild writes it, built with the Palm::PDB modules:
# the peer the benchmark compares prcbuild with. Takes prcbuild's command line
# (options -d and -s are understood, a -f group takes a font name or hex ID).
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

my %font_ids = (
  hrtinyfont => 0x00, hrtinyboldfont => 0x01, hrsmallfont => 0x02, hrsmallsymbolfont => 0x03,
  hrsmallsymbol11font => 0x04, hrsmallsymbol7font => 0x05, hrsmallledfont => 0x06,
  hrsmallboldfont => 0x07, hrstdfont => 0x08, hrboldfont => 0x09, hrlargefont => 0x0a,
  hrsymbolfont => 0x0b, hrsymbol11font => 0x0c, hrsymbol7font => 0x0d, hrledfont => 0x0e,
  hrlargeboldfont => 0x0f, stdfont => 0x00, boldfont => 0x01, largefont => 0x02,
  symbolfont => 0x03, symbol11font => 0x04, symbol7font => 0x05, ledfont => 0x06,
  largeboldfont => 0x07, stdfixedfont_sony => 0x89, stdfixedfont_palm => 0x90,
  narrowfixedfont => 0x81,
);

my ($records, $split) = (0, 0);
while (@ARGV && $ARGV[0] =~ /^-/) {
  my $option = shift @ARGV;
  $records = 1 if $option eq '-d';
  $split = 1 if $option eq '-s';
}
die "usage: peer.pl [-d] [-s] outname dataBaseName TypeID CreatorID input ...\n" if @ARGV < 4;
my ($output, $name, $type, $creator) = splice @ARGV, 0, 4;

my $pdb = Palm::Raw->new;
$pdb->{name} = substr($name, 0, 31);
$pdb->{type} = $type;
$pdb->{creator} = $creator;
$pdb->{version} = 1;
$pdb->{attributes} = $records ? { backup => 1 } : { resource => 1, backup => 1 };

sub resource_id { my ($file) = @_; return hex(substr($file, 4, 4)) & 0xffff; }

while (@ARGV) {
  my $argument = shift @ARGV;
  if (!$records && $argument =~ /^-f/) {
    my ($resource, $font) = splice @ARGV, 0, 2;
    die "peer.pl: -f needs two arguments\n" unless defined $font;
    my $id = $font_ids{lc $font};
    $id = hex($font) & 0xffff unless defined $id;
    $pdb->append_Resource({ type => substr($resource, 0, 4), id => resource_id($resource),
                            data => pack("CCn", 0x40, 0, $id) });
    next;
  }
  open(my $in, '<:raw', $argument) or die "peer.pl: $argument: $!\n";
  my $limit = $split ? 260000 : 130000;
  read($in, my $data, $limit) // die "peer.pl: $argument: $!\n";
  close $in;
  if ($records) {
    # Pushed directly: append_Record would replace a unique ID of 0.
    push @{ $pdb->{records} },
      { id => scalar @{ $pdb->{records} }, category => 0, attributes => {}, data => $data };
    next;
  }
  (my $file = $argument) =~ s{^.*[:\\/]}{};
  my ($rtype, $id) = (substr($file, 0, 4), resource_id($file));
  $pdb->append_Resource({ type => $rtype, id => $id, data => substr($data, 0, 130000) });
  if (length $data > 130000) {
    $pdb->append_Resource({ type => '2' . substr($rtype, 1), id => $id, data => substr($data, 130000) });
  }
}
$pdb->Write($output) or die "peer.pl: can't write $output\n";
