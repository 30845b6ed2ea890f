#pragma once

#include "platform/FileSystem.h"

namespace vantrel {

/// How a PosixFileSystem's journal files take their appends: through a shared
/// mapping of the file where the file system can reserve space (no system
/// call per record), or each with one write().
enum class JournalWriting { Mapped, WriteCalls };

/// The real file system, through POSIX calls and statx.
class PosixFileSystem final : public FileSystem {
public:
    explicit PosixFileSystem(JournalWriting writing = JournalWriting::Mapped) : writing_(writing) {}

    Result openFolder(const std::string& path, std::unique_ptr<FolderListing>& out) override;
    Result attributes(const std::string& path, FileAttributes& out) override;
    Result openRead(const std::string& path, std::unique_ptr<ByteStream>& out) override;
    Result rename(const std::string& from, const std::string& to, RenameMode mode) override;
    Result copyFile(const std::string& from, const std::string& to, bool overwrite) override;
    Result removeFile(const std::string& path) override;
    Result readFile(const std::string& path, std::string& out, std::size_t maxBytes) override;
    Result writeFileAtomically(const std::string& path, std::string_view content) override;
    Result createFolder(const std::string& path, unsigned permissions) override;
    Result openJournal(const std::string& path, JournalAccess access,
                       std::unique_ptr<JournalFile>& out) override;

private:
    JournalWriting writing_;
};

} // namespace vantrel
