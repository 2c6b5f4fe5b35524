#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace kelmo {

// A fixed array addressed from 1, as the threshold indices are numbered in the method.
template <typename T, std::size_t N> class OneBasedArray {
public:
    static constexpr std::size_t size() { return N; }

    T& operator[](std::size_t i) { return m_values[i - 1]; }
    const T& operator[](std::size_t i) const { return m_values[i - 1]; }

    void fill(const T& value) { m_values.fill(value); }
    const std::array<T, N>& values() const { return m_values; }

private:
    std::array<T, N> m_values{};
};

// One distance of a run. The probits are single-precision results widened to double,
// so a stored probit equals its float exactly.
struct ProfileRow {
    double r = 0;            // distance, m
    double deltaPkPa = 0;    // overpressure, kPa
    double deltaPkgf = 0;    // overpressure, kgf/cm²
    double impulse = 0;      // Pa·s
    double probitHeavy = 0;  // heavy damage of buildings, people inside
    double probitTotal = 0;  // complete destruction of buildings
    double probitPeople = 0; // people outside

    static constexpr int kColumnCount = 7;

    // Column 1..7 in the order above.
    double value(int column) const;
};

// The profile table: 50000 rows allocated once, addressed from 1. A run never clears
// the rows above its own count; they keep what a longer earlier run left there.
class ProfileTable {
public:
    static constexpr int kMaxRows = 50000;

    ProfileTable()
        : m_rows(kMaxRows) {}

    ProfileRow& row(int i) { return m_rows[static_cast<std::size_t>(i - 1)]; }
    const ProfileRow& row(int i) const { return m_rows[static_cast<std::size_t>(i - 1)]; }

private:
    std::vector<ProfileRow> m_rows;
};

// Zone radii [k][j]: k = 1..4 the zone boundary, j = 1..3 the damage function.
class ZoneRadiiTable {
public:
    static constexpr int kBoundaries = 4;
    static constexpr int kFunctions = 3;

    float& operator()(int k, int j) { return m_values[index(k, j)]; }
    float operator()(int k, int j) const { return m_values[index(k, j)]; }
    void clear() { m_values.fill(0.0f); }

private:
    static std::size_t index(int k, int j) {
        return static_cast<std::size_t>((k - 1) * 3 + (j - 1));
    }
    std::array<float, 12> m_values{};
};

// Damage functions, the j index of the zone radii.
enum DamageFunction { kHeavy = 1, kTotal = 2, kPeople = 3 };

// Threshold lists of the run, in index order.
inline constexpr std::array<double, 7> kThresholdsKgf{1, 0.7, 0.5, 0.3, 0.2, 0.1, 0.03};
inline constexpr std::array<double, 10> kThresholdsKPa{100, 70, 50, 30, 20, 10, 7, 5, 3, 1};
inline constexpr std::array<double, 6> kThresholdsCriteria{800, 500, 350, 300, 200, 133};
inline constexpr std::array<float, 4> kZoneBoundaries{7.33f, 5.0f, 4.56f, 2.67f};

// The calculation parameters as the input window sets them on every load, and as the
// parameters dialog resets them.
struct CalcParameters {
    double step = 1;
    double chartLimitKPa = 3000;
    double chartDivKPa = 10;
    double chartLimitKgf = 3;
    double chartDivKgf = 10;

    static CalcParameters loadValues() { return {}; }
    static CalcParameters resetValues() { return {1, 3000, 2, 3, 2}; }
};

// Everything the engine and the windows exchange about a zone calculation. The zone session
// owns one; engine functions take the state they work on.
struct CalcState {
    // Values of the distance being evaluated.
    double massTnt = 0;   // kg
    double deltaPkgf = 0; // kgf/cm²
    double deltaPkPa = 0; // kPa
    double impulse = 0;   // Pa·s
    float probitHeavy = 0;
    float probitTotal = 0;
    float probitPeople = 0;

    // Profile of the last run.
    int pointCount = 0;
    ProfileTable profile;

    // Threshold radii of the last run, m; 0 where no stored distance reached the threshold.
    OneBasedArray<double, 7> radiiKgf;
    OneBasedArray<double, 10> radiiKPa;
    double radius53kPa = 0;
    double radius28kPa = 0;
    double radius12kPa = 0;
    OneBasedArray<double, 6> radiiCriteria;
    ZoneRadiiTable zoneRadii;

    // The end distance rounded to a whole metre (halves to even), minus 1: the largest
    // distance a user may ask about on the results window.
    double maxDistance = 0;

    // Calculation parameters; zero until the input window loads them.
    double step = 0;
    double chartLimitKPa = 0;
    double chartDivKPa = 0;
    double chartLimitKgf = 0;
    double chartDivKgf = 0;

    void setParameters(const CalcParameters& p);
    CalcParameters parameters() const;
};

} // namespace kelmo
