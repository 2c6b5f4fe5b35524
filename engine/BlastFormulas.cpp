#include "engine/BlastFormulas.h"

#include "engine/Errors.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

namespace kelmo {

double checkedResult(double v, const char* what) {
    if (!std::isfinite(v)) {
        throw ArithmeticError(ArithmeticError::Cause::General,
                              std::string("Арифметическая ошибка (переполнение, деление на ноль "
                                          "или недопустимая операция) при расчёте: ") +
                                  what + ".");
    }
    return v;
}

void ComputeMassTNT(CalcState& s, double heatKJperKg, double chargeMassKg) {
    const auto ok = [](double v) {
        return checkedResult(v, "тротиловый эквивалент");
    };
    s.massTnt = ok(ok(heatKJperKg / kTntHeat) * chargeMassKg);
}

double heatPerKgFromPerMole(double heatPerMole, double divisor) {
    if (divisor == 0 || !std::isfinite(heatPerMole / divisor)) {
        throw ArithmeticError(ArithmeticError::Cause::MolarDivisor,
                              "Расчёт невозможен: при пересчёте теплоты взрыва из кДж/моль "
                              "делитель равен нулю. Введите число, отличное от нуля.");
    }
    return checkedResult(heatPerMole / divisor * kPerMoleFactor, "теплота взрыва");
}

namespace {

// m^(1/3) and m^(2/3) of the last TNT mass asked for, per thread. A walk along the distances
// asks for the same mass at every row; the powers are taken once and are the very values pow
// gives, so every result stays the same to the bit. The mass is compared by its bits (0 and
// −0 have different cube roots).
struct MassPowers {
    std::uint64_t massBits = 0;
    bool known = false;
    double cubeRoot = 0;
    double twoThirds = 0;
};

const MassPowers& powersOf(double m) {
    thread_local MassPowers cached;
    const auto bits = std::bit_cast<std::uint64_t>(m);
    if (!cached.known || cached.massBits != bits) {
        cached.massBits = bits;
        cached.cubeRoot = std::pow(m, 1.0 / 3.0);
        cached.twoThirds = std::pow(m, 2.0 / 3.0);
        cached.known = true;
    }
    return cached;
}

// ΔP = c3·m/r³ + (c1·m^(1/3)/r + c2·m^(2/3)/r²), summed in the order the method fixes:
// the r² term first, then the r term, then the r³ term. Every step is checked, as a
// division by an overflowed value would otherwise hide the fault.
double overpressure(double m, double r, const BurstCoefficients& c) {
    const auto ok = [](double v) {
        return checkedResult(v, "избыточное давление");
    };
    const MassPowers& powers = powersOf(m);
    const double termR2 = ok(ok(c.c2 * ok(powers.twoThirds)) / ok(std::pow(r, 2.0)));
    const double termR1 = ok(ok(ok(powers.cubeRoot) * c.c1) / r);
    const double termR3 = ok(ok(m * c.c3) / ok(std::pow(r, 3.0)));
    return ok(ok(termR2 + termR1) + termR3);
}

} // namespace

void OverpressureInAir(CalcState& s, double r) {
    s.deltaPkgf = overpressure(s.massTnt, r, kAirBurst);
}

void OverpressureOnGround(CalcState& s, double r) {
    s.deltaPkgf = overpressure(s.massTnt, r, kGroundBurst);
}

double overpressureKgf(double massTNT, Placement placement, double r) {
    return overpressure(massTNT, r, placement == Placement::Ground ? kGroundBurst : kAirBurst);
}

void computeOverpressure(CalcState& s, Placement placement, double r) {
    if (placement == Placement::Ground) {
        OverpressureOnGround(s, r);
    } else {
        OverpressureInAir(s, r);
    }
}

void ComputeImpulse(CalcState& s, double r) {
    const auto ok = [](double v) {
        return checkedResult(v, "импульс");
    };
    s.impulse = ok(ok(ok(powersOf(s.massTnt).twoThirds) * kImpulseCoefficient) / r);
}

} // namespace kelmo
