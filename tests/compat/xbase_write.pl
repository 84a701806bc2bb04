#!/usr/bin/perl
# Creates a dBASE IV table (with a dBASE IV .dbt) with Perl's XBase from a
# JSON description on standard input:
# {"fields": [[name, type, length, decimals]], "records": [[deleted, values...]]}.
use strict;
use warnings;
use XBase;
use JSON::PP;

my $path = shift @ARGV;
local $/;
my $description = decode_json(<STDIN>);
my @fields = @{$description->{fields}};
my $table = XBase->create(
  name => $path,
  version => 4,
  field_names => [map { $_->[0] } @fields],
  field_types => [map { $_->[1] } @fields],
  field_lengths => [map { $_->[2] } @fields],
  field_decimals => [map { $_->[3] } @fields]) or die XBase->errstr . "\n";
my $n = 0;
for my $record (@{$description->{records}}) {
  my ($deleted, @values) = @$record;
  $table->set_record($n, @values) or die $table->errstr . "\n";
  $table->delete_record($n) if $deleted;
  $n++;
}
$table->close;
