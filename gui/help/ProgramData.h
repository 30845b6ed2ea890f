#pragma once

#include <QString>

namespace vantrel::gui {

/// The file name of the help collection that the build and the install put
/// beside the program's other data.
inline constexpr char kHelpCollectionName[] = "vantrel.qhc";
/// The file name of the tips file.
inline constexpr char kTipsFileName[] = "Tips.txt";

/// The full path of one of the program's data files (the help collection,
/// the tips file): beside the running executable (the build tree, a
/// relocated install), else in the installed data folder
/// (<prefix>/share/vantrel, found from the executable's folder and from the
/// configured prefix). Empty when it is in neither place.
[[nodiscard]] QString programDataFile(const QString& name);

} // namespace vantrel::gui
