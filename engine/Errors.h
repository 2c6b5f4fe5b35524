#pragma once

#include <stdexcept>
#include <string>

namespace kelmo {

// Base of every error the program reports to the user. The text is Russian, UTF-8,
// and is meant to be shown as it is.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A floating-point fault: overflow, division by zero or an invalid operation.
class ArithmeticError : public Error {
public:
    // What made the calculation impossible, so that a window can point at the field.
    enum class Cause {
        General,
        ChargeMass,   // the charge mass or the heat gives a TNT mass the formulas cannot take
        MolarDivisor, // the second number of the per-mole conversion is 0
        Distance,     // a distance of 0 or below was reached (step 0 or negative)
        BodyMass,     // body mass of a person 0 or negative
    };

    ArithmeticError(Cause cause, const std::string& message)
        : Error(message)
        , m_cause(cause) {}

    Cause cause() const noexcept { return m_cause; }

private:
    Cause m_cause;
};

// The run needed more profile rows than the table holds.
class RowLimitError : public Error {
public:
    using Error::Error;
};

} // namespace kelmo
