#!/usr/bin/perl
# Reads a workbook with Spreadsheet::ParseExcel and writes it again with Spreadsheet::WriteExcel,
# through ParseExcel's SaveParser: a Perl office script's copy of a template.
#   perl_copy.pl IN.xls OUT.xls
use strict;
use warnings;
use Spreadsheet::ParseExcel::SaveParser;

my ($in, $out) = @ARGV;
my $parser = Spreadsheet::ParseExcel::SaveParser->new();
my $book = $parser->Parse($in) or die "cannot read $in: " . $parser->error() . "\n";
$book->SaveAs($out);
