// What the file dialogs of every layer do alike: read the caller's filter, hand the chosen name
// back in the caller's structure, and keep the error CommDlgExtendedError reports.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/win32.h"

namespace kvarlo::platform {

// The filter's (description, pattern) pairs, 1251; a description without its pattern ends them.
std::vector<std::pair<std::string, std::string>> filterPairs(LPCSTR filter);
// Fills the caller's structure with a chosen path (1251), the default extension added where the
// name has none; false (FNERR_BUFFERTOOSMALL, the size needed in the buffer) when it does not fit.
bool deliverPath(OPENFILENAMEA& ofn, std::string path);
// The error of the dialog just run, for CommDlgExtendedError; 0 for none.
void setDialogError(DWORD error);

// ---- What each layer provides ------------------------------------------------------------------
// Runs an Open or Save dialog for the caller's structure (with a buffer for the name); true when a
// name was chosen and handed back, false (with the error set where there is one) when not.
bool runFileDialog(OPENFILENAMEA* ofn, bool save);

}  // namespace kvarlo::platform
