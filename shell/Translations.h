#pragma once

namespace kelmo::shell {

// Loads Qt's own Russian translations, so that standard buttons and dialogs speak Russian.
// Returns false when they are not installed; the program then runs with Qt's English texts.
bool installQtTranslations();

} // namespace kelmo::shell
