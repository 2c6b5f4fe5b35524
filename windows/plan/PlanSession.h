#pragma once

#include <QString>

namespace kelmo::plan {

// The site-plan numbers of one run of the program. The shell owns the one instance and hands
// it to the plan windows, which come and go while the numbers live on.
struct PlanSession final {
    // The current plan (MnuPM.NumPM); 0 until a plan is created or chosen.
    int gPlanNum = 0;
    // The current structure number; 0 at program start, kept when the editor closes.
    int gStructureNum = 0;
    // The structure type chosen last in the editor's type list (BTypes.TNum).
    int gTypeNum = 0;
    // The connection string of every database operation of the plan windows.
    QString connectionString;
};

} // namespace kelmo::plan
