#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace vantrel::test {

/// A fresh folder under the system's temporary folder for one test, removed
/// with everything in it (permissions restored first) when the test ends.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "vantrel") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir() {
        if (path_.empty())
            return;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    /// Empty when the folder could not be made.
    [[nodiscard]] const std::string& path() const { return path_; }
    /// The path of `name` inside the folder.
    [[nodiscard]] std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace vantrel::test
