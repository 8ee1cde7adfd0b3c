#!/usr/bin/perl
# pe-resource.pl FILE TYPE NAME
# Writes the bytes of resource TYPE/NAME (first language) of the PE image
# FILE to standard output; exits 1 when the image has no such resource.
# Names are compared case-insensitively, as FindResource does; "#N" is the
# numeric id N (MAKEINTRESOURCE), as in "#16" for RT_VERSION.
use strict;
use warnings;

my ($file, $type, $name) = @ARGV;
die "usage: $0 FILE TYPE NAME\n" unless defined $name;
open(my $fh, '<:raw', $file) or die "$file: $!\n";
my $image = do { local $/; <$fh> };
close $fh;

my $pe = unpack('V', substr($image, 0x3c, 4));
die "$file: not a PE image\n" unless substr($image, $pe, 4) eq "PE\0\0";
my ($sections, $optionalSize) = unpack('v x12 v', substr($image, $pe + 6, 16));
my $optional = $pe + 24;
my $magic = unpack('v', substr($image, $optional, 2));
my $directories = $optional + ($magic == 0x20b ? 112 : 96);
my $resourceRva = unpack('V', substr($image, $directories + 2 * 8, 4));
exit 1 unless $resourceRva;

my @table;
for my $i (0 .. $sections - 1) {
  my $at = $optional + $optionalSize + 40 * $i;
  my ($vsize, $va, $rawSize, $raw) = unpack('V4', substr($image, $at + 8, 16));
  push @table, [$va, ($vsize > $rawSize ? $vsize : $rawSize), $raw];
}
sub offset {
  my ($rva) = @_;
  for my $s (@table) {
    return $rva - $s->[0] + $s->[2] if $rva >= $s->[0] && $rva < $s->[0] + $s->[1];
  }
  die "$file: address $rva outside every section\n";
}
my $root = offset($resourceRva);

# The entry of directory $dir (offset in the resource section) called $want
# (a string, or undef for the first entry).
sub entry {
  my ($dir, $want) = @_;
  my ($named, $ids) = unpack('v v', substr($image, $root + $dir + 12, 4));
  for my $i (0 .. $named + $ids - 1) {
    my ($id, $target) = unpack('V V', substr($image, $root + $dir + 16 + 8 * $i, 8));
    if (defined $want && $want =~ /^#(\d+)$/) {
      next unless !($id & 0x80000000) && $id == $1;
    } elsif (defined $want) {
      next unless $id & 0x80000000;
      my $at = $root + ($id & 0x7fffffff);
      my $length = unpack('v', substr($image, $at, 2));
      my $text = pack('U*', unpack('v*', substr($image, $at + 2, 2 * $length)));
      next unless uc($text) eq uc($want);
    }
    return $target;
  }
  return undef;
}

my $types = entry(0, $type);
exit 1 unless defined $types && ($types & 0x80000000);
my $names = entry($types & 0x7fffffff, $name);
exit 1 unless defined $names && ($names & 0x80000000);
my $language = entry($names & 0x7fffffff, undef);
exit 1 unless defined $language && !($language & 0x80000000);
my ($dataRva, $size) = unpack('V V', substr($image, $root + $language, 8));
binmode STDOUT;
print substr($image, offset($dataRva), $size);
