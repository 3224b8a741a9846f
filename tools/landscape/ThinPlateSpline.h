#pragma once
// A thin-plate spline over the (x, z) plane: the smoothest surface (least bending) that passes
// exactly through a set of points. The island's ground is built on one, so that every tree point
// lies on it while the slopes between them stay natural.
#include <string>
#include <vector>

namespace landscape
{
class ThinPlateSpline
{
public:
    struct Sample
    {
        double x, z, value;
    };

    // Fits the spline through the samples. False with a reason when the samples cannot carry one
    // (fewer than three, two at the same place, or all on one line).
    bool Fit(const std::vector<Sample>& samples, std::string& error);
    double Evaluate(double x, double z) const;
    bool Empty() const { return centres.empty(); }

private:
    std::vector<Sample> centres; // value holds the weight of each centre
    double a0 = 0, ax = 0, az = 0;
    double scale = 1; // coordinates are scaled to about unit size for a well-conditioned system
};
} // namespace landscape
