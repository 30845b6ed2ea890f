#pragma once

#include "platform/FileSystem.h"

#include <string>
#include <vector>

namespace vantrel::gui {

/// The names of the folders directly inside `folder`, hidden ones included,
/// symbolic links and everything else left out, in natural order (names that
/// compare equal keep byte order). Fails only when the folder cannot be
/// opened; a child whose kind cannot be read is left out, and a read error
/// part way keeps what was read before it.
[[nodiscard]] Result readChildFolders(FileSystem& fs, const std::string& folder,
                                      std::vector<std::string>& names);

} // namespace vantrel::gui
