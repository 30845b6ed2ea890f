#pragma once

#include "filelist/ScanWorker.h"

#include <string>
#include <utility>

namespace vantrel::qtsupport {

/// Type names from the desktop's MIME database, by file name only (the
/// content is never read): the type's description in the user's language.
/// Descriptions are cached per type, as they are slow to build. The provider
/// may be called from one thread at a time.
[[nodiscard]] TypeNameProvider mimeTypeNames();

/// The icon-theme names (the type's own, then its generic one) of a type
/// name that a provider of mimeTypeNames() has given; empty when none has.
/// Safe to call from any thread.
[[nodiscard]] std::pair<std::string, std::string> typeIconNames(const std::string& typeName);

} // namespace vantrel::qtsupport
