#ifndef LIMITS_H
#define LIMITS_H

#include <optional>

// The tolerance a reading is judged against, in tenths of a micrometre as the head counts.
// Either limit may be missing (one-sided); the command line never gives a lower limit
// above the upper one.
class ToleranceLimits
{
public:
    enum class Verdict {
        Unjudged, // no limit set
        Inside,
        Warning, // inside, in the outer tenth of the tolerance on either side
        Outside,
    };

    ToleranceLimits() = default;
    // Without a nominal, the middle of two limits; with one limit, none.
    ToleranceLimits(std::optional<int> lower, std::optional<int> upper,
                    std::optional<int> nominal = std::nullopt);

    std::optional<int> lower() const { return low; }
    std::optional<int> upper() const { return high; }
    std::optional<double> lowerUm() const;
    std::optional<double> upperUm() const;
    std::optional<double> nominalUm() const;

    // Over and under range are outside where the limit on their side is set.
    Verdict judge(int tenths) const;

private:
    std::optional<int> low;
    std::optional<int> high;
    std::optional<double> nominalTenths;
};

#endif
