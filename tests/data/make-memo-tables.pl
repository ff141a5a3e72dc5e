#!/usr/bin/perl
# Writes MEMO3.DBF/.DBT (dBASE III memo file) and MEMO4.DBF/.DBT (dBASE IV
# memo file) with Perl XBase (Debian's libdbd-xbase-perl). Run in tests/data.
use strict;
use warnings;
use XBase;

sub make {
    my ($name, $version) = @_;
    my $stem = lc $name;
    unlink "$stem.dbf", "$stem.dbt";
    my $t = XBase->create(
        name           => "$stem.dbf",
        version        => $version,
        codepage       => 0x57,
        field_names    => ['TITLE', 'AUTHOR', 'YEARPUB', 'NOTES'],
        field_types    => ['C', 'C', 'N', 'M'],
        field_lengths  => [40, 30, 4, 10],
        field_decimals => [0, 0, 0, 0]) or die XBase->errstr;
    my $long = join "\r\n",
        map { "Line $_ of a long note that runs past one block of the memo file." } 1 .. 9;
    $t->set_record(0, 'Dune', 'Herbert, Frank', 1965, 'Memo text for A') or die $t->errstr;
    $t->set_record(1, 'Emma', 'Austen, Jane', 1815, '') or die $t->errstr;
    $t->set_record(2, 'Long', 'Many, Lines', 2001, $long) or die $t->errstr;
    $t->set_record(3, "Caf\xe9", 'Short, Note', 1999, "Caf\xe9 au lait") or die $t->errstr;
    $t->close;
    rename "$stem.dbf", "$name.DBF" or die;
    rename "$stem.dbt", "$name.DBT" or die;
}

make('MEMO3', 3);
make('MEMO4', 4);
# The library marks version 4 as 0x84; dBASE IV writes 0x8B for a table with
# a memo file.
open my $f, '+<:raw', 'MEMO4.DBF' or die;
print $f "\x8B";
close $f;
