#pragma once

class QWidget;

namespace kelmo {

// The explosives catalogue for any window with a drop-down list "Combo4" and an energy field
// "Text12". Both throw DatabaseError; a window without these children is left alone.

// Appends every explosive name in ascending order to Combo4 (the list is not cleared), then
// selects the first entry, which raises Combo4's currentIndexChanged: connect it to
// ShowExplosiveEnergy. An empty catalogue selects nothing.
void FillExplosiveList(QWidget* window);

// Sets Text12 to the energy of the explosive named by Combo4's current text (exact match);
// with no match Text12 keeps its text.
void ShowExplosiveEnergy(QWidget* window);

} // namespace kelmo
