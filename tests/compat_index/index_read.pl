#!/usr/bin/perl
# Prints what Perl's XBase::Index reads from an .mdx, as one JSON object:
# {"tags": [names], "entries": {TAG: [[recno, "hex of the key"], ...]}}.
use strict;
use warnings;
use XBase::Index;
use JSON::PP;

my ($path) = @ARGV;
my $index = XBase::Index->new($path) or die XBase::Index->errstr . "\n";
my @tags = $index->tags;
my %entries;
for my $tag (@tags) {
  my $t = XBase::Index->new($path, tag => $tag) or die XBase::Index->errstr . "\n";
  $t->prepare_select or die $t->errstr . "\n";
  my @list;
  while (my ($key, $recno) = $t->fetch) {
    push @list, [$recno + 0, unpack("H*", $key)];
  }
  die $t->errstr . "\n" if $t->errstr;
  $entries{$tag} = \@list;
}
print JSON::PP->new->canonical->encode({tags => \@tags, entries => \%entries}), "\n";
