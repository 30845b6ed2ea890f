#pragma once

#include "platform/FileSystem.h"

namespace vantrel {

/// The real file system, through POSIX calls and statx.
class PosixFileSystem final : public FileSystem {
public:
    Result openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) override;
    Result attributes(const std::string& path, FileAttributes& out) override;
    Result openRead(const std::string& path, std::unique_ptr<ByteStream>& out) override;
    Result rename(const std::string& from, const std::string& to, RenameMode mode) override;
    Result copyFile(const std::string& from, const std::string& to, bool overwrite) override;
    Result removeFile(const std::string& path) override;
};

} // namespace vantrel
