#!/usr/bin/perl
# Sets the two dates of an MSI's summary information (created, last saved), which wixl takes
# from the clock, to a fixed time, so that the same files give the same package.
#   msi_dates.pl PACKAGE.msi EPOCH SINCE
# The dates are found as what they are, a property of type VT_FILETIME (64, four bytes) and its
# eight-byte value, between SINCE (seconds, taken before wixl started) and now; there must be
# exactly two of them, each replaced in place by EPOCH. Anything else is an error: the package
# would not be reproducible.
use strict;
use warnings;

my ($msi, $epoch, $since) = @ARGV;
die "usage: msi_dates.pl PACKAGE.msi EPOCH SINCE\n" unless defined $since;

# Windows' FILETIME: 100 ns steps since 1601-01-01.
my $EPOCH_1601 = 11644473600;
sub filetime { return ($_[0] + $EPOCH_1601) * 10_000_000; }

open(my $in, '<:raw', $msi) or die "msi_dates.pl: cannot read $msi: $!\n";
my $bytes = do { local $/; <$in> };
close($in);

my ($low, $high) = (filetime($since - 1), filetime(time() + 1));
my @found;
while ($bytes =~ /\x40\x00\x00\x00(.{8})/gs) {
    my $value = unpack('Q<', $1);
    push(@found, $-[1]) if $value >= $low && $value <= $high;
}
die "msi_dates.pl: $msi holds " . scalar(@found) . " dates of its making, not 2\n"
    unless @found == 2;
substr($bytes, $_, 8) = pack('Q<', filetime($epoch)) for @found;

open(my $out, '>:raw', $msi) or die "msi_dates.pl: cannot write $msi: $!\n";
print $out $bytes;
close($out) or die "msi_dates.pl: cannot write $msi: $!\n";
