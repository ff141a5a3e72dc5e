#!/usr/bin/perl
# Walks one tag of an MDX with XBase::Index and prints "recno<TAB>key in hex"
# per entry, so that a test can compare the order with its own.
use strict;
use warnings;
use XBase;
use XBase::Index;

my ($file, $tag) = @ARGV;
my $index = XBase::Index->new($file, tag => $tag)
    or die XBase::Index->errstr;
$index->prepare_select;
while (my ($key, $recno) = $index->fetch) {
    print $recno, "\t", unpack('H*', $key), "\n";
}
