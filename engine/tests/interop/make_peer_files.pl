#!/usr/bin/perl
# make_peer_files.pl OUTDIR
#
# Writes databases with Palm::PDB into OUTDIR through its raw record interface
# (record data are plain bytes): NAME.pdb, and beside it NAME.expect saying
# what the engine must load from it (format in README.md). manifest.txt lists
# the names. The expected engine view of every record is written out by hand
# in the tables below, so that the mapping between Palm::PDB's flags and the
# engine's record kinds is visible case by case.
use strict;
use warnings;

use File::Path qw(make_path);
use Palm::PDB;
use Palm::Raw;

use constant EPOCH_1904 => 2082844800;    # Palm time of 1970-01-01 00:00:00

die "usage: $0 OUTDIR\n" unless @ARGV == 1;
my $out = $ARGV[0];
make_path($out);

# Only files of the kinds written here are removed, so that a stale file can
# never pass for a fresh one.
opendir my $dh, $out or die "cannot read $out: $!\n";
for my $file (readdir $dh) {
  next unless $file =~ /\.(?:pdb|expect)\z/ || $file eq 'manifest.txt';
  unlink "$out/$file" or die "cannot remove $out/$file: $!\n";
}
closedir $dh;

# N bytes of a repeatable pattern that differs with SEED.
sub pattern {
  my ($n, $seed) = @_;
  return pack 'C*', map { ($_ * 131 + ($_ >> 8) + $seed * 7) & 0xFF } 0 .. $n - 1;
}

sub hex_or_dash { return length $_[0] ? unpack('H*', $_[0]) : '-' }

# A standard category AppInfo block: renamed flags, 16 names of 16 bytes,
# 16 category IDs, the last ID and a pad byte (276 bytes).
sub category_app_info {
  my @names = ('Unfiled', 'Business', 'Personal', "Caf\xE9", ('') x 12);
  return pack('n', 0x0006) . join('', map { pack 'a16', $_ } @names)
    . pack('C16', 0 .. 15) . pack('CC', 15, 0);
}

# rec(ID, DATA, CATEGORY, ATTRIBUTES, EXPECTED[, DELETE]): a record as handed to
# Palm::PDB (ATTRIBUTES is its attribute hash), what the engine must see:
# "KIND CATEGORY FLAGS", and, when DELETE is 0 or 1, Palm::PDB's own
# delete_Record($record, DELETE) applied after appending it.
sub rec {
  my ($id, $data, $category, $attributes, $expected, $delete) = @_;
  return {
    pdb => { id => $id, data => $data, category => $category, attributes => {%$attributes} },
    expected => $expected,
    delete => $delete,
  };
}

my @cases;

# Every category, with dirty and secret flags, and a busy record (the engine
# drops the busy bit).
push @cases, {
  file => 'categories',
  name => 'Interop Categories',
  type => 'DATA',
  creator => 'KdPp',
  attributes => { Backup => 1, CopyPrevention => 1, Hidden => 1, Open => 1 },
  attribute_word => 0x8148,
  version => 3,
  created => 3500000000,
  modified => 3600000000,
  backup => 3400000000,
  modnum => 42,
  seed => 0x00ABC000,
  appinfo => category_app_info(),
  sortinfo => "\x00\x01\x02\x03\xFE\xFF",
  records => [
    (map {
      my $flags = { ($_ % 2 ? (Dirty => 1) : ()), ($_ % 3 == 0 ? (Secret => 1) : ()) };
      my $text = ($_ % 2 ? 'D' : '') . ($_ % 3 == 0 ? 'S' : '');
      rec(0x001000 + $_, "record $_", $_, $flags, "live $_ " . ($text || '-'));
    } 0 .. 15),
    rec(0x001010, 'busy record', 5, { Busy => 1, Dirty => 1 }, 'live 5 D'),
  ],
};

# Deleted and archived records as Palm::PDB makes them; see the table in
# README.md. Records with the delete bit end up after the others in the file.
push @cases, {
  file => 'deletions',
  name => 'Interop Deletions',
  type => 'DATA',
  creator => 'KdPp',
  attributes => { Backup => 1 },
  attribute_word => 0x0008,
  version => 1,
  created => 3300000000,
  modified => 3300000100,
  backup => 3300000050,
  modnum => 7,
  seed => 0x00400000,
  appinfo => category_app_info(),
  sortinfo => '',
  records => [
    rec(0x000101, 'alive one', 2, { Dirty => 1 }, 'live 2 D'),
    # Expunged without data: delete and busy bits, no category.
    rec(0x000102, '', 4, {}, 'deleted 0 -', 1),
    # Expunged with its data still there: the engine calls that archived.
    rec(0x000103, 'expunged but kept', 4, {}, 'archived 0 -', 1),
    # Delete bit and Palm::PDB's archive flag (0x08), with data.
    rec(0x000104, 'archived', 6, { expunged => 1, archive => 1, Dirty => 1 }, 'archived 8 D'),
    # The delete bit set through the upper-case key keeps the category.
    rec(0x000105, '', 5, { Delete => 1, Secret => 1 }, 'deleted 5 S'),
    # delete_Record without expunging sets busy and archive but not delete:
    # a live record in category 8 for the engine.
    rec(0x000106, 'soft archived', 3, {}, 'live 8 -', 0),
    rec(0x000107, 'alive two', 15, { Secret => 1 }, 'live 15 S'),
    # Archive flag without data: deleted for the engine.
    rec(0x000108, '', 0, { expunged => 1, archive => 1 }, 'deleted 8 -'),
    rec(0x000109, 'alive three', 0, {}, 'live 0 -'),
  ],
};

# No records and no blocks; the backup date Palm::PDB writes by default (0).
push @cases, {
  file => 'empty',
  name => 'Empty',
  type => 'DATA',
  creator => 'KdPp',
  attributes => {},
  attribute_word => 0,
  version => 0,
  created => 3000000000,
  modified => 3000000001,
  backup => undef,
  modnum => 0,
  seed => 0,
  appinfo => undef,
  sortinfo => undef,
  records => [],
};

# Both blocks, no records: the SortInfo block runs to the end of the file.
push @cases, {
  file => 'blocks_only',
  name => 'Blocks Only',
  type => 'BLKS',
  creator => 'KdPp',
  attributes => { Backup => 1, AppInfoDirty => 1 },
  attribute_word => 0x000C,
  version => 2,
  created => 3400000000,
  modified => 3400000000,
  backup => 3400000000,
  modnum => 1,
  seed => 0x00005000,
  appinfo => pattern(60000, 1),
  sortinfo => pattern(300, 2),
  records => [],
};

# A SortInfo block without AppInfo block, then records.
push @cases, {
  file => 'sort_only',
  name => 'Sort Only',
  type => 'DATA',
  creator => 'KdPp',
  attributes => {},
  attribute_word => 0,
  version => 1,
  created => 3450000000,
  modified => 3450000001,
  backup => 3450000002,
  modnum => 3,
  seed => 0x00003000,
  appinfo => undef,
  sortinfo => pattern(16, 3),
  records => [
    rec(0x000201, 'first', 1, {}, 'live 1 -'),
    rec(0x000202, 'second', 2, { Secret => 1 }, 'live 2 S'),
  ],
};

# Empty records first, between others and last (an empty last record starts
# at the end of the file), and the largest record the engine accepts.
push @cases, {
  file => 'sizes',
  name => 'Sizes',
  type => 'DATA',
  creator => 'KdPp',
  attributes => {},
  attribute_word => 0,
  version => 1,
  created => 3460000000,
  modified => 3460000000,
  backup => 3460000000,
  modnum => 9,
  seed => 0x00200000,
  appinfo => "\x01",
  sortinfo => undef,
  records => [
    rec(0x200001, '', 0, {}, 'live 0 -'),
    rec(0x200002, pattern(65519, 4), 1, { Dirty => 1 }, 'live 1 D'),
    rec(0x200003, '', 2, {}, 'live 2 -'),
    rec(0x200004, 'x', 3, {}, 'live 3 -'),
    rec(0x200005, '', 4, {}, 'live 4 -'),
  ],
};

# Bytes outside ASCII in the name (31 bytes, the longest), type, creator and
# data, and data that text-mode I/O would damage (CR LF, Ctrl-Z, NUL).
my $name31 = "Caf\xE9 \xDCber \xF1\xE3o \x80\x9F\xA0\xFF \x01\x7F and more!";
die "the name must have 31 bytes\n" unless length $name31 == 31;
push @cases, {
  file => 'bytes',
  name => $name31,
  type => "\xA9Tp\xFE",
  creator => "\xE9\x01z\x7F",
  attributes => {},
  attribute_word => 0,
  version => 255,
  created => 4294967295,
  modified => 1,
  backup => 2147483648,
  modnum => 4294967295,
  seed => 0x00FFFFFF,
  appinfo => "\x00\x00\xFF\xFF\r\n\x1A",
  sortinfo => undef,
  records => [
    rec(0x000301, pack('C*', 0 .. 255), 1, {}, 'live 1 -'),
    rec(0x000302, pack('C*', reverse 0 .. 255), 2, {}, 'live 2 -'),
    rec(0x000303, "\r\n\r\n", 3, {}, 'live 3 -'),
    rec(0x000304, "\x1A\x00\x1A", 4, {}, 'live 4 -'),
    rec(0x000305, "\0" x 4096, 5, {}, 'live 5 -'),
    rec(0x000306, "\n", 6, {}, 'live 6 -'),
    rec(0x000307, "Gr\xFC\xDFe \xE0 \xE9t\xE9\r", 7, { Dirty => 1, Secret => 1 }, 'live 7 DS'),
  ],
};

# Unique IDs across their 24 bits.
push @cases, {
  file => 'ids',
  name => 'Unique IDs',
  type => 'DATA',
  creator => 'KdPp',
  attributes => {},
  attribute_word => 0,
  version => 1,
  created => 3470000000,
  modified => 3470000000,
  backup => 3470000000,
  modnum => 5,
  seed => 0x00800000,
  appinfo => undef,
  sortinfo => undef,
  records => [
    rec(0x000001, 'one', 0, {}, 'live 0 -'),
    rec(0x00ABCD, 'abcd', 0, {}, 'live 0 -'),
    rec(0x7FFFFF, 'low half', 0, {}, 'live 0 -'),
    rec(0x800000, 'high half', 0, {}, 'live 0 -'),
    rec(0xFFFFFF, 'largest', 0, {}, 'live 0 -'),
  ],
};

# A thousand records of different sizes, some empty.
push @cases, {
  file => 'many',
  name => 'Many Records',
  type => 'DATA',
  creator => 'KdPp',
  attributes => { Backup => 1 },
  attribute_word => 0x0008,
  version => 1,
  created => 3480000000,
  modified => 3480000500,
  backup => 3480000250,
  modnum => 1000,
  seed => 0x00300000,
  appinfo => pattern(100, 5),
  sortinfo => pattern(10, 6),
  records => [
    map {
      my $dirty = $_ % 5 == 0;
      my $secret = $_ % 7 == 0;
      my $flags = ($dirty ? 'D' : '') . ($secret ? 'S' : '');
      rec(0x300000 + $_ * 37, pattern($_ % 97, $_), $_ % 16,
        { ($dirty ? (Dirty => 1) : ()), ($secret ? (Secret => 1) : ()) },
        sprintf('live %d %s', $_ % 16, $flags || '-'));
    } 0 .. 999
  ],
};

my @written;
for my $case (@cases) {
  write_case($case);
  push @written, $case->{file};
}
write_file("$out/manifest.txt", join('', map { "$_\n" } @written));
print 'wrote ', scalar(@written), " databases with Palm::PDB $Palm::PDB::VERSION to $out\n";
exit 0;

sub write_case {
  my ($case) = @_;
  my $pdb = Palm::Raw->new;
  # Header fields are set after new(), whose defaults would otherwise replace
  # zero values (and a small seed by a random one).
  $pdb->{name} = $case->{name};
  $pdb->{type} = $case->{type};
  $pdb->{creator} = $case->{creator};
  $pdb->{attributes} = { %{ $case->{attributes} } };
  $pdb->{version} = $case->{version};
  $pdb->{modnum} = $case->{modnum};
  $pdb->{uniqueIDseed} = $case->{seed};
  $pdb->{appinfo} = $case->{appinfo};
  $pdb->{sort} = $case->{sortinfo};
  for my $record (@{ $case->{records} }) {
    my $appended = $pdb->append_Record($record->{pdb});
    $pdb->delete_Record($appended, $record->{delete}) if defined $record->{delete};
  }
  # append_Record and delete_Record set the modification time: dates last.
  $pdb->{ctime} = $case->{created} - EPOCH_1904;
  $pdb->{mtime} = $case->{modified} - EPOCH_1904;
  $pdb->{baktime} = $case->{backup} - EPOCH_1904 if defined $case->{backup};

  # Palm::PDB reports every empty record on the selected output and warns
  # "1": expected here, so both stay out of the log.
  {
    open my $quiet, '>', \my $ignored or die;
    my $previous = select $quiet;
    local $SIG{__WARN__} = sub { warn @_ unless $_[0] =~ /^1 at / };
    $pdb->Write("$out/$case->{file}.pdb");
    select $previous;
  }

  my $backup = defined $case->{backup} ? $case->{backup} : 0;
  my @lines = (
    "# written by Palm::PDB $Palm::PDB::VERSION (make_peer_files.pl)",
    'name ' . hex_or_dash($case->{name}),
    'type ' . hex_or_dash($case->{type}),
    'creator ' . hex_or_dash($case->{creator}),
    sprintf('attributes %04x', $case->{attribute_word}),
    "version $case->{version}",
    "created $case->{created}",
    "modified $case->{modified}",
    "backup $backup",
    "modnum $case->{modnum}",
    sprintf('seed %06x', $case->{seed}),
    'appinfo ' . hex_or_dash(defined $case->{appinfo} ? $case->{appinfo} : ''),
    'sortinfo ' . hex_or_dash(defined $case->{sortinfo} ? $case->{sortinfo} : ''),
  );
  for my $record (@{ $case->{records} }) {
    my ($kind, $category, $flags) = split ' ', $record->{expected};
    my $data = $kind eq 'deleted' ? '' : $record->{pdb}{data};
    push @lines, sprintf('record %s %06x %d %s %s',
      $kind, $record->{pdb}{id}, $category, $flags, hex_or_dash($data));
  }
  write_file("$out/$case->{file}.expect", join('', map { "$_\n" } @lines));
}

sub write_file {
  my ($path, $text) = @_;
  open my $fh, '>', $path or die "cannot write $path: $!\n";
  binmode $fh;
  print $fh $text or die "cannot write $path: $!\n";
  close $fh or die "cannot write $path: $!\n";
}
