#!/usr/bin/perl
# read_pdb.pl DIR
#
# Prints what Palm::PDB reads from every database (*.pdb) in DIR, in name
# order: header, blocks and records, each record in file order with the flags
# and category as Palm::PDB reports them and its data in hex. The output is
# compared with an expected file, so it holds only what stays the same from
# run to run: the three dates are not printed but checked (set, and no more
# than a day from now, since the file was written moments ago).
use strict;
use warnings;

use Palm::PDB;
use Palm::Raw;

die "usage: $0 DIR\n" unless @ARGV == 1;
my $dir = $ARGV[0];

opendir my $dh, $dir or die "cannot read $dir: $!\n";
my @files = sort grep { /\.pdb\z/ } readdir $dh;
closedir $dh;
print "no databases\n" unless @files;

# Palm::PDB's names for the bits of the header attribute word, in bit order.
my @HEADER_FLAGS = qw(ResDB ReadOnly AppInfoDirty Backup OKToInstallNewer ResetAfterInstall
  CopyPrevention Stream Hidden LaunchableData Recyclable Bundle Open);
# Its names for the bits of a record's attribute byte, and the archive flag of a
# deleted or busy record.
my @RECORD_FLAGS = qw(Delete Dirty Busy Secret archive);

for my $file (@files) {
  my $pdb = Palm::PDB->new;
  my $loaded = eval {
    # Palm::PDB reports empty records on standard error; some are expected.
    local *STDERR;
    open STDERR, '>', \my $ignored or die;
    $pdb->Load("$dir/$file");
    1;
  };
  if (!$loaded) {
    print "$file: Palm::PDB cannot load it: $@";
    next;
  }
  print "$file\n";
  printf "  name '%s' type '%s' creator '%s' version %d\n",
    $pdb->{name}, $pdb->{type}, $pdb->{creator}, $pdb->{version};
  printf "  attributes %s\n", flags($pdb->{attributes}, @HEADER_FLAGS);
  printf "  modification number %d, unique ID seed %d\n", $pdb->{modnum}, $pdb->{uniqueIDseed};
  print '  dates: ', dates($pdb), "\n";
  printf "  appinfo %s\n", bytes($pdb->{appinfo});
  printf "  sortinfo %s\n", bytes($pdb->{sort});
  my @records = @{ $pdb->{records} || [] };
  printf "  %d records\n", scalar @records;
  for my $record (@records) {
    printf "  record id %d%s flags %s data %s\n", $record->{id},
      defined $record->{category} ? " category $record->{category}" : '',
      flags($record->{attributes}, @RECORD_FLAGS), bytes($record->{data});
  }
}

sub flags {
  my ($set, @names) = @_;
  my @on = grep { $set->{$_} } @names;
  return @on ? join(',', @on) : '-';
}

sub bytes {
  my ($value) = @_;
  return defined $value && length $value ? unpack('H*', $value) : '-';
}

# Palm::PDB holds the dates as Unix times (Palm time less 2082844800). The
# engine stores local time, so "now" is taken with a day's margin either way.
sub dates {
  my ($pdb) = @_;
  my $now = time;
  my @problems;
  for my $date (qw(ctime mtime baktime)) {
    my $value = $pdb->{$date};
    push @problems, "$date $value is not within a day of now $now"
      unless defined $value && abs($value - $now) <= 86400;
  }
  push @problems, 'modified before created' if !@problems && $pdb->{mtime} < $pdb->{ctime};
  return @problems ? join('; ', @problems) : 'all three within a day of now';
}
