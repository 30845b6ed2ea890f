#pragma once

#include "filelist/ScanWorker.h"

#include <string>

namespace vantrel::cli {

/// Type names from the module at `modulePath`, loaded on the first call.
/// When the module cannot be loaded every type name is empty.
[[nodiscard]] TypeNameProvider loadedTypeNames(std::string modulePath);

/// The path of the type-name module: beside the running program, or in
/// lib/vantrel of the prefix it was installed to.
[[nodiscard]] std::string typeNamesModuleBesideProgram();

} // namespace vantrel::cli
