#!/usr/bin/perl
# version-strings.pl < VERSION_RESOURCE
# Prints the string table entries of a version resource (the bytes of
# RT_VERSION, as pe-resource.pl FILE '#16' '#1' writes them) as
# "Key=Value" lines. Each block is wLength, wValueLength, wType, a
# NUL-terminated UTF-16 key padded to 32 bits, the value, then its
# children, each padded to 32 bits.
use strict;
use warnings;

binmode STDIN;
binmode STDOUT, ':encoding(UTF-8)';
my $data = do { local $/; <STDIN> };

sub align { ($_[0] + 3) & ~3 }

sub key_at {
  my ($at) = @_;
  my $end = $at;
  $end += 2 while $end + 1 < length($data) && substr($data, $end, 2) ne "\0\0";
  return (pack('U*', unpack('v*', substr($data, $at, $end - $at))), $end + 2);
}

# Walks the block at $at; $path is the list of keys above it.
sub block {
  my ($at, @path) = @_;
  my ($length, $valueLength, $type) = unpack('v v v', substr($data, $at, 6));
  return $at + 6 if !$length;
  my $end = $at + $length;
  my ($key, $after) = key_at($at + 6);
  my $value = align($after);
  my $valueBytes = $type == 1 ? 2 * $valueLength : $valueLength;
  if (@path >= 3 && $path[1] eq 'StringFileInfo') {
    my $text = pack('U*', unpack('v*', substr($data, $value, $valueBytes)));
    $text =~ s/\0.*//s;
    print "$key=$text\n";
  }
  my $child = align($value + $valueBytes);
  $child = block($child, @path, $key) while $child < $end;
  return align($end);
}

block(0) if length($data) >= 6;
