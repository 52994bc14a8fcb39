#!/usr/bin/perl
# Times prcbuild against cat (the I/O floor) and against the Palm::PDB modules
# (bench/peer.pl) on three large databases, and checks that prcbuild and the
# peer wrote the same entries. Run through bench/run.sh.
use strict;
use warnings;
use Cwd qw(abs_path);
use File::Basename qw(dirname);
use File::Path qw(make_path remove_tree);
use Getopt::Long;
use POSIX qw(_exit);
use Time::HiRes qw(clock_gettime CLOCK_MONOTONIC);
use Palm::PDB;
use Palm::Raw;

my ($prcbuild, $prcdump, $work, $runs) = ('', '', '', 5);
GetOptions('prcbuild=s' => \$prcbuild, 'prcdump=s' => \$prcdump, 'work=s' => \$work,
           'runs=i' => \$runs)
  and $prcbuild and $work and $runs > 0
  or die "usage: bench.pl --prcbuild PROGRAM [--prcdump PROGRAM] --work DIR [--runs N]\n";
$prcbuild = abs_path($prcbuild);
$prcdump = abs_path($prcdump) if $prcdump;
my $peer = abs_path(dirname(__FILE__) . '/peer.pl');
make_path($work);
chdir $work or die "bench.pl: $work: $!\n";

my @font_names = qw(hrTinyFont hrTinyBoldFont hrSmallFont hrSmallSymbolFont hrSmallSymbol11Font
  hrSmallSymbol7Font hrSmallLedFont hrSmallBoldFont hrStdFont hrBoldFont hrLargeFont
  hrSymbolFont hrSymbol11Font hrSymbol7Font hrLedFont hrLargeBoldFont stdFont boldFont
  largeFont symbolFont symbol11Font symbol7Font ledFont largeBoldFont stdFixedFont_sony
  stdFixedFont_palm narrowFixedFont);

# Deterministic bytes, different for every file, so that a misplaced block
# shows up in the comparison.
my $pool = '';
{
  my $x = 0x2545F491;
  for (1 .. 1 << 18) { $x = ($x * 1103515245 + 12345) & 0xffffffff; $pool .= pack('N', $x); }
}
sub bytes_for { my ($n, $seed) = @_; return substr($pool, ($seed * 7919) % (length($pool) - $n), $n); }

sub write_file {
  my ($path, $data) = @_;
  open(my $out, '>:raw', $path) or die "bench.pl: $path: $!\n";
  print $out $data or die "bench.pl: $path: $!\n";
  close $out or die "bench.pl: $path: $!\n";
}

# Each case: a name, prcbuild's arguments, the files cat joins and the total
# input size. Inputs are made once and kept in the work folder.
sub make_cases {
  my @cases;

  make_path('resources');
  my @files = map { sprintf('resources/NFNT%04x.bin', $_) } 0 .. 1999;
  for my $i (0 .. $#files) {
    write_file($files[$i], bytes_for(65536, $i)) unless -s $files[$i];
  }
  push @cases, { name => '2000 x 64 KiB resources', out => 'out.prc',
                 args => ['out.prc', 'Big Font', 'Font', 'PGwk', @files], cat => \@files,
                 input => 2000 * 65536 };

  # The remap data lives on the command line; the floor is cat copying a file
  # of as many bytes.
  my @groups;
  for my $i (0 .. 6551) {
    my $font = $i % 3 ? $font_names[$i % @font_names] : sprintf('%x', $i);
    push @groups, '-f', sprintf('Rmap%04x', $i), $font;
  }
  my $remap = bytes_for(6552 * 4, 1);
  write_file('remap.bin', $remap);
  push @cases, { name => '6552 -f remap entries', out => 'out.prc',
                 args => ['out.prc', 'Remap', 'Rmap', 'PGwk', @groups], cat => ['remap.bin'],
                 input => length $remap };

  make_path('records');
  my @records = map { sprintf('records/rec%04d.bin', $_) } 0 .. 6551;
  my $total = 0;
  for my $i (0 .. $#records) {
    my $size = 1 + ($i * 37) % 200;
    $total += $size;
    write_file($records[$i], bytes_for($size, $i)) unless (-s $records[$i] // 0) == $size;
  }
  push @cases, { name => '6552 small records', out => 'out.pdb',
                 args => ['-d', 'out.pdb', 'Records', 'DATA', 'TEST', @records], cat => \@records,
                 input => $total };
  return @cases;
}

# Runs a program with standard output sent to stdout_path (or /dev/null) and
# returns its wall time in seconds; any failure ends the benchmark.
sub timed_run {
  my ($stdout_path, @command) = @_;
  my $start = clock_gettime(CLOCK_MONOTONIC);
  my $pid = fork // die "bench.pl: fork: $!\n";
  if ($pid == 0) {
    open(STDOUT, '>', $stdout_path // '/dev/null') or _exit(126);
    exec { $command[0] } @command or _exit(127);
  }
  waitpid($pid, 0);
  my $elapsed = clock_gettime(CLOCK_MONOTONIC) - $start;
  die "bench.pl: $command[0] failed (status $?)\n" if $?;
  return $elapsed;
}

# Peak resident memory in KiB, from GNU time's verbose report.
sub peak_memory {
  my @command = @_;
  my $report = 'time.txt';
  timed_run(undef, '/usr/bin/time', '-v', '-o', $report, @command);
  open(my $in, '<', $report) or die "bench.pl: $report: $!\n";
  while (<$in>) { return $1 if /Maximum resident set size \(kbytes\): (\d+)/; }
  die "bench.pl: no peak memory in the report of /usr/bin/time\n";
}

sub median {
  my @sorted = sort { $a <=> $b } @_;
  my $n = @sorted;
  return $n % 2 ? $sorted[$n / 2] : ($sorted[$n / 2 - 1] + $sorted[$n / 2]) / 2;
}

# Each tool writes a fresh file; one untimed run first warms the caches.
sub measure {
  my ($output, $stdout_path, @command) = @_;
  my @times;
  for my $run (0 .. $runs) {
    unlink $output if defined $output;
    my $t = timed_run($stdout_path, @command);
    push @times, $t if $run > 0;
  }
  return median(@times);
}

# Both files read back with Palm::PDB: same header fields (the clock aside)
# and the same entries, in order, with the same data.
sub same_database {
  my ($mine, $theirs) = @_;
  my @db = map { my $db = Palm::PDB->new; $db->Load($_); $db } $mine, $theirs;
  for my $field (qw(name type creator version)) {
    return "$field differs" if $db[0]{$field} ne $db[1]{$field};
  }
  for my $flag (qw(resource backup)) {
    return "attribute $flag differs" if !$db[0]{attributes}{$flag} != !$db[1]{attributes}{$flag};
  }
  my $list = $db[0]{attributes}{resource} ? 'resources' : 'records';
  my @a = @{ $db[0]{$list} };
  my @b = @{ $db[1]{$list} };
  return sprintf('%d entries against %d', scalar @a, scalar @b) if @a != @b;
  for my $i (0 .. $#a) {
    for my $field (qw(type id data)) {
      next if !exists $a[$i]{$field} && !exists $b[$i]{$field};
      return "entry $i: $field differs" if ($a[$i]{$field} // '') ne ($b[$i]{$field} // '');
    }
  }
  return '';
}

# Loading two large databases grows this process for good, which would slow
# every later fork and so every later timing: compare in a child.
sub same_in_child {
  my ($mine, $theirs, $name) = @_;
  my $pid = fork // die "bench.pl: fork: $!\n";
  if ($pid == 0) {
    my $problem = same_database($mine, $theirs);
    print STDERR "prcbuild and Palm::PDB disagree on $name: $problem\n" if $problem;
    _exit($problem ? 1 : 0);
  }
  waitpid($pid, 0);
  return $? == 0;
}

Palm::PDB::RegisterPRCHandlers('Palm::Raw', '');
Palm::PDB::RegisterPDBHandlers('Palm::Raw', '');

my @cases = make_cases();
my @rows;
my $mismatch = 0;
for my $case (@cases) {
  my $out = $case->{out};
  my $peer_out = "peer-$out";
  print STDERR "Measuring: $case->{name}\n";
  my $mine = measure($out, undef, $prcbuild, @{ $case->{args} });
  my $floor = measure('cat.bin', 'cat.bin', 'cat', @{ $case->{cat} });
  my @peer_args = @{ $case->{args} };
  $peer_args[$peer_args[0] eq '-d' ? 1 : 0] = $peer_out;
  my $other = measure($peer_out, undef, 'perl', $peer, @peer_args);
  my @memory = map { unlink $out; peak_memory($prcbuild, @{ $case->{args} }) } 1 .. $runs;
  my $start = measure(undef, undef, '/usr/bin/true', @{ $case->{args} });
  my $same = same_in_child($out, $peer_out, $case->{name});
  $mismatch ||= !$same;
  push @rows, { %$case, mine => $mine, floor => $floor, peer => $other, start => $start,
                memory => median(@memory) * 1024, same => $same };
}

# prcdump on the first case's database: listing it against cat reading it,
# extracting it against cat copying the same entries into files one by one,
# and the peak memory of both against 8 MiB + the largest entry.
my @dump_rows;
if ($prcdump) {
  my $case = $cases[0];
  my @args = @{ $case->{args} };
  $args[0] = 'dump.prc';
  timed_run(undef, $prcbuild, @args);
  my $largest = 65536;
  print STDERR "Measuring: prcdump\n";
  my $copy = 'cd resources && for f in *.bin; do cat "$f" >../cat-files/"$f"; done';
  my $fresh = sub { remove_tree($_[0]); make_path($_[0]) if $_[1]; };
  my (@list, @list_floor, @extract, @extract_floor);
  for my $run (0 .. $runs) {
    my $t = timed_run(undef, $prcdump, 'dump.prc');
    my $f = timed_run(undef, 'cat', 'dump.prc');
    $fresh->('parts', 0);
    my $x = timed_run(undef, $prcdump, '-x', 'parts', 'dump.prc');
    $fresh->('cat-files', 1);
    my $c = timed_run(undef, 'sh', '-c', $copy);
    next unless $run;  # the first run warms the caches
    push @list, $t; push @list_floor, $f; push @extract, $x; push @extract_floor, $c;
  }
  my @list_memory = map { peak_memory($prcdump, 'dump.prc') * 1024 } 1 .. $runs;
  my @extract_memory =
    map { $fresh->('parts', 0); peak_memory($prcdump, '-x', 'parts', 'dump.prc') * 1024 } 1 .. $runs;
  my $same = 1;
  for my $file (@{ $case->{cat} }) {
    (my $name = $file) =~ s{^.*/}{};
    open(my $a, '<:raw', $file) or die; open(my $b, '<:raw', "parts/$name") or do { $same = 0; last };
    local $/; $same = 0 if <$a> ne <$b>;
  }
  push @dump_rows,
    { name => 'list ' . $case->{name}, mine => median(@list), floor => median(@list_floor),
      limit => 2, memory => median(@list_memory), cap => 8 * 1048576 + $largest, same => 1 },
    { name => 'extract ' . $case->{name}, mine => median(@extract),
      floor => median(@extract_floor), limit => 1.5, memory => median(@extract_memory),
      cap => 8 * 1048576 + $largest, same => $same };
  $mismatch ||= !$same;
}

sub ms { return sprintf('%.1f ms', 1000 * $_[0]); }
sub mib { return $_[0] < 1048576 ? sprintf('%.1f KiB', $_[0] / 1024) : sprintf('%.1f MiB', $_[0] / 1048576); }

my @head = ('case', 'input', 'prcbuild', 'peak memory', 'memory limit', 'cat', 'Palm::PDB',
            'prcbuild/cat', 'Palm::PDB/prcbuild', 'true', 'same data');
my @table = (\@head);
my $missed = 0;
for my $r (@rows) {
  my $limit = $r->{input} + 8 * 1048576;
  my @miss;
  push @miss, 'time' if $r->{mine} > 1.5 * $r->{floor};
  push @miss, 'peer' if $r->{peer} < 10 * $r->{mine};
  push @miss, 'memory' if $r->{memory} > $limit;
  $missed ||= @miss;
  push @table, [$r->{name}, mib($r->{input}), ms($r->{mine}), mib($r->{memory}), mib($limit),
                ms($r->{floor}), ms($r->{peer}), sprintf('%.2f', $r->{mine} / $r->{floor}),
                sprintf('%.1f', $r->{peer} / $r->{mine}), ms($r->{start}), $r->{same} ? 'yes' : 'NO'];
  $r->{missed} = join(', ', @miss);
}
my @width = map { my $c = $_; (sort { $b <=> $a } map { length $_->[$c] } @table)[0] } 0 .. $#head;
for my $line (@table) {
  print join('  ', map { sprintf($_ ? "%$width[$_]s" : "%-$width[$_]s", $line->[$_]) } 0 .. $#head), "\n";
}
print "true: /usr/bin/true given prcbuild's arguments, the cost of starting a program with them.\n";
printf "Median of %d runs each. Targets: prcbuild/cat <= 1.5, Palm::PDB/prcbuild >= 10, "
     . "peak memory <= input + 8 MiB.\n", $runs;
for my $r (@rows) { print "Target missed ($r->{missed}): $r->{name}\n" if $r->{missed}; }
if (@dump_rows) {
  my @dump_head = ('prcdump', 'time', 'cat', 'prcdump/cat', 'target', 'peak memory', 'memory limit',
                   'same data');
  my @dump_table = (\@dump_head);
  for my $r (@dump_rows) {
    my @miss;
    push @miss, 'time' if $r->{mine} > $r->{limit} * $r->{floor};
    push @miss, 'memory' if $r->{memory} > $r->{cap};
    $missed ||= @miss;
    $r->{missed} = join(', ', @miss);
    push @dump_table, [$r->{name}, ms($r->{mine}), ms($r->{floor}),
                       sprintf('%.2f', $r->{mine} / $r->{floor}), "<= $r->{limit}",
                       mib($r->{memory}), mib($r->{cap}), $r->{same} ? 'yes' : 'NO'];
  }
  my @w = map { my $c = $_; (sort { $b <=> $a } map { length $_->[$c] } @dump_table)[0] } 0 .. $#dump_head;
  print "\n";
  for my $line (@dump_table) {
    print join('  ', map { sprintf($_ ? "%$w[$_]s" : "%-$w[$_]s", $line->[$_]) } 0 .. $#dump_head), "\n";
  }
  print "cat: listing against cat FILE >/dev/null; extracting against one cat per entry into its own file.\n";
  for my $r (@dump_rows) { print "Target missed ($r->{missed}): $r->{name}\n" if $r->{missed}; }
}
print "All targets met.\n" unless $missed;
exit $mismatch;
