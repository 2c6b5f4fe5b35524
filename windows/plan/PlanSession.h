#pragma once

#include <QString>

namespace kelmo::plan {

// The site-plan numbers of one run of the program. The shell owns the one instance and hands
// it to the plan windows, which come and go while the numbers live on.
struct PlanSession final {
    // The current plan (MnuPM.NumPM); 0 until a plan is created or chosen.
    int planNumber = 0;
    // The current structure number; 0 at program start, kept when the editor closes.
    int structureNumber = 0;
    // The structure type chosen last in the editor's type list (BTypes.TNum).
    int typeNumber = 0;
};

} // namespace kelmo::plan
