#pragma once

#include "filelist/ScanWorker.h"

namespace vantrel::cli {

/// Type names from the desktop's MIME database, by file name only (the
/// content is never read): the type's description in the user's language.
/// Descriptions are cached per type, as they are slow to build. The provider
/// may be called from one thread at a time.
[[nodiscard]] TypeNameProvider mimeTypeNames();

} // namespace vantrel::cli
