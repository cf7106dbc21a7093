#ifndef MEASUREMENT_H
#define MEASUREMENT_H

// A reading as the head sends it: a signed count of tenths of a micrometre (1234 is
// +123.4), with a sentinel at each end beyond the range it measures. Every room that
// makes, shows, writes or judges readings takes the range from here.
namespace Measurement
{

constexpr int OverRange = 2560;   // this and above: over range
constexpr int UnderRange = -2560; // this and below: under range

} // namespace Measurement

#endif
