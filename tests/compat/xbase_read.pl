#!/usr/bin/perl
# Prints every record of a table as read by Perl's XBase, one JSON line each:
# {"deleted": 0|1, "values": {FIELD: value}}.
use strict;
use warnings;
use XBase;
use JSON::PP;

# An optional second argument names the memo file, for names whose case
# differs from the table's.
my ($path, $memo) = @ARGV;
my $table = (defined $memo ? XBase->new(name => $path, memofile => $memo) : XBase->new($path))
  or die XBase->errstr . "\n";
my @names = $table->field_names;
my $json = JSON::PP->new->canonical;
for my $i (0 .. $table->last_record) {
  my ($deleted, @values) = $table->get_record($i);
  die $table->errstr . "\n" unless defined $deleted;
  my %record;
  @record{@names} = @values;
  print $json->encode({deleted => $deleted ? 1 : 0, values => \%record}), "\n";
}
$table->close;
