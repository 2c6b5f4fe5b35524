#include "engine/Probits.h"

#include "engine/BlastFormulas.h"

#include <cmath>

namespace kelmo {

namespace {

// Rounds a probit to single precision; a value beyond the float range is an overflow.
float toSingle(double v) {
    const auto f = static_cast<float>(v);
    checkedResult(static_cast<double>(f), "пробит-функция");
    return f;
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
        const double root = ok(std::pow(kAtmosphericPressurePa, 0.5));
        const double cubeRoot = ok(std::pow(bodyMassKg, 1.0 / 3.0));
        t.iBar = ok(ok(impulse / root) / cubeRoot);
        t.sPeople = ok(ok(4.2 / t.pBar) + ok(1.3 / t.iBar));
        s.probitPeople = toSingle(ok(5 - ok(5.74 * ok(std::log(t.sPeople)))));
    }
    return t;
}

} // namespace kelmo
