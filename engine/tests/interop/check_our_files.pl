#!/usr/bin/perl
# check_our_files.pl DIR
#
# Loads every database the engine wrote into DIR (listed in DIR/manifest.txt)
# with Palm::PDB and compares it with NAME.expect (format in README.md),
# header field by header field and record for record. Prints one line per
# database and one per difference; exits 1 when anything differs.
#
# The expectation describes the file as the engine sees it; Palm::PDB's view of
# a record differs as README.md tabulates:
#   live      no Delete and no Busy flag; its category; the data
#   deleted   the Delete flag, no data; no category but an archive flag, which
#             is bit 0x08 of the category the engine kept
#   archived  as deleted, with the data
use strict;
use warnings;

use Palm::PDB;
use Palm::Raw;

use constant EPOCH_1904 => 2082844800;    # Palm time of 1970-01-01 00:00:00

# Palm::PDB's names for the bits of the header attribute word.
my %ATTRIBUTE_BITS = (
  ResDB => 0x0001, ReadOnly => 0x0002, AppInfoDirty => 0x0004, Backup => 0x0008,
  OKToInstallNewer => 0x0010, ResetAfterInstall => 0x0020, CopyPrevention => 0x0040,
  Stream => 0x0080, Hidden => 0x0100, LaunchableData => 0x0200, Recyclable => 0x0400,
  Bundle => 0x0800, Open => 0x8000,
);

die "usage: $0 DIR\n" unless @ARGV == 1;
my $dir = $ARGV[0];

my @names = grep { length } split /\r?\n/, read_file("$dir/manifest.txt");
my $failures = 0;
if (!@names) {
  print "FAIL: $dir/manifest.txt lists no databases\n";
  $failures++;
}

# Every database in the directory must be in the manifest, and back.
opendir my $dh, $dir or die "cannot read $dir: $!\n";
my %on_disk = map { /\A(.*)\.pdb\z/ ? ($1 => 1) : () } readdir $dh;
closedir $dh;
for my $name (@names) {
  next if delete $on_disk{$name};
  print "FAIL $name: listed in the manifest, but there is no $name.pdb\n";
  $failures++;
}
for my $name (sort keys %on_disk) {
  print "FAIL $name: $name.pdb is not in the manifest\n";
  $failures++;
}

for my $name (@names) {
  next unless -e "$dir/$name.pdb";
  my @differences = check("$dir/$name.pdb", parse_expectation("$dir/$name.expect"));
  if (@differences) {
    print "FAIL $name\n", map { "  $_\n" } @differences;
    $failures++;
  } else {
    print "ok   $name\n";
  }
}
printf "%d of %d databases read by Palm::PDB %s as expected\n",
  scalar(@names) - $failures, scalar(@names), $Palm::PDB::VERSION;
exit($failures ? 1 : 0);

sub read_file {
  my ($path) = @_;
  open my $fh, '<', $path or die "cannot read $path: $!\n";
  binmode $fh;
  local $/;
  my $text = <$fh>;
  close $fh;
  return $text;
}

sub unhex {
  my ($text) = @_;
  die "bad hex '$text'\n" unless $text eq '-' || $text =~ /\A(?:[0-9a-f]{2})+\z/;
  return $text eq '-' ? '' : pack('H*', $text);
}

sub parse_expectation {
  my ($path) = @_;
  my %header;
  my (@live, @deleted);
  for my $line (split /\r?\n/, read_file($path)) {
    next if $line eq '' || $line =~ /\A#/;
    my @fields = split / /, $line;
    my $key = shift @fields;
    if ($key eq 'record') {
      die "$path: bad line '$line'\n"
        unless @fields == 5 && $fields[0] =~ /\A(?:live|deleted|archived)\z/
        && $fields[2] =~ /\A\d+\z/ && $fields[3] =~ /\A(?:-|D?S?)\z/;
      my %record = (
        kind => $fields[0], id => hex($fields[1]), category => $fields[2],
        dirty => $fields[3] =~ /D/ ? 1 : 0, secret => $fields[3] =~ /S/ ? 1 : 0,
        data => unhex($fields[4]),
      );
      push @{ $record{kind} eq 'live' ? \@live : \@deleted }, \%record;
    } else {
      die "$path: bad line '$line'\n" unless @fields == 1 && !exists $header{$key};
      $header{$key} = $fields[0];
    }
  }
  for my $key (qw(name type creator attributes version created modified backup modnum seed
      appinfo sortinfo)) {
    die "$path: no $key line\n" unless exists $header{$key};
  }
  $header{$_} = unhex($header{$_}) for qw(name type creator appinfo sortinfo);
  $header{$_} = hex($header{$_}) for qw(attributes seed);
  return { header => \%header, live => \@live, deleted => \@deleted };
}

sub show_bytes {
  my ($value) = @_;
  return 'undef' unless defined $value;
  return length($value) > 24
    ? sprintf('%d bytes %s...', length $value, unpack('H48', $value))
    : "'" . unpack('H*', $value) . "'";
}

sub check {
  my ($path, $want) = @_;
  my $pdb = Palm::PDB->new;
  my $loaded = eval {
    # Palm::PDB reports empty records on standard error; they are expected.
    local *STDERR;
    open STDERR, '>', \my $ignored or die;
    $pdb->Load($path);
    1;
  };
  return ("Palm::PDB cannot load it: $@") unless $loaded;

  my @differences;
  my $number = sub {
    my ($what, $got, $expected) = @_;
    push @differences, "$what: Palm::PDB reads " . (defined $got ? $got : 'undef')
      . ", want $expected" unless defined $got && $got == $expected;
  };
  my $bytes = sub {
    my ($what, $got, $expected) = @_;
    push @differences, "$what: Palm::PDB reads " . show_bytes($got) . ', want '
      . show_bytes($expected) unless defined $got && $got eq $expected;
  };
  my $h = $want->{header};
  push @differences, 'read as ' . ref($pdb) . ', not as raw records' unless ref $pdb eq 'Palm::Raw';
  $bytes->('name', $pdb->{name}, $h->{name});
  $bytes->('type', $pdb->{type}, $h->{type});
  $bytes->('creator', $pdb->{creator}, $h->{creator});
  my $word = 0;
  for my $flag (keys %ATTRIBUTE_BITS) {
    $word |= $ATTRIBUTE_BITS{$flag} if $pdb->{attributes}{$flag};
  }
  $number->('attributes', $word, $h->{attributes});
  $number->('version', $pdb->{version}, $h->{version});
  $number->('creation date', $pdb->{ctime} + EPOCH_1904, $h->{created});
  $number->('modification date', $pdb->{mtime} + EPOCH_1904, $h->{modified});
  $number->('backup date', $pdb->{baktime} + EPOCH_1904, $h->{backup});
  $number->('modification number', $pdb->{modnum}, $h->{modnum});
  $number->('unique ID seed', $pdb->{uniqueIDseed}, $h->{seed});
  # No block and an empty one are the same in the file.
  $bytes->('AppInfo block', defined $pdb->{appinfo} ? $pdb->{appinfo} : '', $h->{appinfo});
  $bytes->('SortInfo block', defined $pdb->{sort} ? $pdb->{sort} : '', $h->{sortinfo});

  my @records = @{ $pdb->{records} || [] };
  my @live = grep { !$_->{attributes}{Delete} } @records;
  my @deleted = grep { $_->{attributes}{Delete} } @records;
  for my $group (['live', \@live, $want->{live}], ['deleted', \@deleted, $want->{deleted}]) {
    my ($label, $got, $expected) = @$group;
    $number->("number of $label records", scalar @$got, scalar @$expected);
    for my $i (0 .. $#$expected) {
      last if $i > $#$got;
      my ($r, $e) = ($got->[$i], $expected->[$i]);
      my $what = sprintf '%s record %d (%s %06x)', $label, $i, $e->{kind}, $e->{id};
      my $attrs = $r->{attributes};
      $number->("$what unique ID", $r->{id}, $e->{id});
      $number->("$what dirty", $attrs->{Dirty} ? 1 : 0, $e->{dirty});
      $number->("$what secret", $attrs->{Secret} ? 1 : 0, $e->{secret});
      $number->("$what busy", $attrs->{Busy} ? 1 : 0, 0);
      $bytes->("$what data", $r->{data}, $e->{data});
      if ($e->{kind} eq 'live') {
        $number->("$what category", $r->{category}, $e->{category});
      } else {
        $number->("$what archive flag", $attrs->{archive} ? 1 : 0, $e->{category} & 0x08 ? 1 : 0);
      }
    }
  }
  return @differences;
}
