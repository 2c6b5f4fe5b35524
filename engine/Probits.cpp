#include "engine/Probits.h"

#include "engine/BlastFormulas.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace kelmo {

namespace {

// Rounds a probit to single precision; a value beyond the float range is an overflow.
float toSingle(double v) {
    const auto f = static_cast<float>(v);
    checkedResult(static_cast<double>(f), "пробит-функция");
    return f;
}

// The cube root of the body mass last asked for, per thread: the same on every row of a walk.
double bodyCubeRoot(double bodyMassKg) {
    thread_local std::uint64_t massBits = 0;
    thread_local bool known = false;
    thread_local double root = 0;
    const auto bits = std::bit_cast<std::uint64_t>(bodyMassKg);
    if (!known || massBits != bits) {
        massBits = bits;
        root = std::pow(bodyMassKg, 1.0 / 3.0);
        known = true;
    }
    return root;
}

} // namespace

ProbitTerms ComputeProbits(CalcState& s, double deltaPPa, double bodyMassKg) {
    ProbitTerms t;
    const double impulse = s.impulse;

    {
        const auto ok = [](double v) {
            return checkedResult(v, "пробит-функция сильных разрушений");
        };
        const double a = ok(std::pow(ok(290 / impulse), 9.3));
        t.vHeavy = ok(ok(std::pow(ok(17500 / deltaPPa), 8.4)) + a);
        s.probitHeavy = toSingle(ok(5 - ok(0.26 * ok(std::log(t.vHeavy)))));
    }
    {
        const auto ok = [](double v) {
            return checkedResult(v, "пробит-функция полного разрушения");
        };
        const double a = ok(std::pow(ok(460 / impulse), 11.3));
        t.vTotal = ok(ok(std::pow(ok(40000 / deltaPPa), 7.4)) + a);
        s.probitTotal = toSingle(ok(5 - ok(0.22 * ok(std::log(t.vTotal)))));
    }
    {
        const auto ok = [](double v) {
            return checkedResult(v, "пробит-функция поражения людей вне зданий");
        };
        t.pBar = ok(deltaPPa / kAtmosphericPressurePa);
        static const double kPressureRoot = std::pow(kAtmosphericPressurePa, 0.5);
        const double root = ok(kPressureRoot);
        const double cubeRoot = ok(bodyCubeRoot(bodyMassKg));
        t.iBar = ok(ok(impulse / root) / cubeRoot);
        t.sPeople = ok(ok(4.2 / t.pBar) + ok(1.3 / t.iBar));
        s.probitPeople = toSingle(ok(5 - ok(5.74 * ok(std::log(t.sPeople)))));
    }
    return t;
}

} // namespace kelmo
