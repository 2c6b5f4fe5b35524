#include "charts/ProfileLookup.h"

#include "charts/ZoneCharts.h"

#include <algorithm>

namespace kelmo::charts {

int rowAtOrBefore(const CalcState& s, double d) {
    const int n = s.pointCount;
    if (n < 1) {
        return 0;
    }
    // Stored distances grow with the row number.
    int lo = 1;
    int hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (s.profile.row(mid).r <= d) {
            lo = mid;
        } else {
            hi = mid - 1;
        }
    }
    return lo;
}

int rowAtOrAfter(const CalcState& s, double d) {
    const int n = s.pointCount;
    if (n < 1) {
        return 0;
    }
    int lo = 1;
    int hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (s.profile.row(mid).r >= d) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

std::optional<PressureLookup> lookUpPressure(const CalcState& s, double distance) {
    const int row = rowForDistance(s, distance);
    if (row < 1) {
        return std::nullopt;
    }
    const ProfileRow& r = s.profile.row(row);
    return PressureLookup{row, r.r, r.deltaPkgf, r.r == distance};
}

std::optional<double> lookUpDistance(const CalcState& s, double pressureKgf) {
    const int n = s.pointCount;
    if (n < 1) {
        return std::nullopt;
    }
    for (int i = 1; i <= n; ++i) {
        if (s.profile.row(i).deltaPkgf <= pressureKgf) {
            return s.profile.row(i).r;
        }
    }
    return s.profile.row(n).r;
}

} // namespace kelmo::charts
