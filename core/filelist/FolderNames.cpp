#include "filelist/FolderNames.h"

#include <bit>
#include <cstring>

namespace vantrel {

namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;

std::uint64_t load8(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    return word;
}

/// The last `n` (1 to 7) bytes at `p`, without a call for a variable size.
std::uint64_t loadTail(const char* p, std::size_t n) {
    std::uint64_t word = 0;
    if (n >= 4) {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::memcpy(&first, p, 4);
        std::memcpy(&last, p + n - 4, 4);
        word = first | std::uint64_t{last} << 32;
    } else {
        word = static_cast<unsigned char>(p[0]);
        word |= std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8;
        word |= std::uint64_t{static_cast<unsigned char>(p[n - 1])} << 16;
    }
    return word;
}

} // namespace

std::uint64_t nameHash(std::string_view name) {
    // Eight bytes a step: names are short, and a refresh hashes every new name.
    std::uint64_t h = name.size() * kMultiplier;
    const char* p = name.data();
    std::size_t n = name.size();
    for (; n >= 8; n -= 8, p += 8)
        h = (std::rotl(h, 23) ^ load8(p)) * kMultiplier;
    if (n > 0) // the length is in h already, so overlapping bytes tell names apart
        h = (std::rotl(h, 23) ^ loadTail(p, n)) * kMultiplier;
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ULL;
    return h ^ (h >> 29);
}

void FolderNames::add(std::string_view name, FileKind kind) {
    Name n;
    n.offset = text_.size();
    n.length = static_cast<std::uint32_t>(name.size());
    n.kind = kind;
    text_ += name;
    names_.push_back(n);
    ++held_;
}

void FolderNames::setKind(std::size_t index, FileKind kind) {
    if (index < names_.size())
        names_[index].kind = kind;
}

namespace {

/// A slot's tag: 15 bits of the hash that the slot's position does not use,
/// never 0 (a free slot).
std::uint16_t tagOf(std::uint64_t hash) {
    return static_cast<std::uint16_t>((hash >> 48) | 0x8000U);
}

} // namespace

void FolderNames::insert(std::size_t index, std::uint64_t hash) {
    const std::size_t mask = tags_.size() - 1;
    for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
        if (tags_[at] == 0) {
            tags_[at] = tagOf(hash);
            indices_[at] = static_cast<std::uint32_t>(index);
            return;
        }
    }
}

void FolderNames::grow() {
    // At most half full, so that a miss ends after a step or two.
    std::size_t size = 16;
    while (size < 2 * names_.size() + 2)
        size *= 2;
    tags_.assign(size, 0);
    indices_.assign(size, 0);
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (!names_[i].gone)
            insert(i, nameHash(text(names_[i])));
    }
}

void FolderNames::seal() {
    grow();
}

std::size_t FolderNames::slotOf(std::string_view name, std::uint64_t hash) const {
    if (tags_.empty())
        return SIZE_MAX;
    const std::size_t mask = tags_.size() - 1;
    const std::uint16_t tag = tagOf(hash);
    for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
        if (tags_[at] == 0)
            return SIZE_MAX;
        if (tags_[at] == tag) {
            const Name& n = names_[indices_[at]];
            if (!n.gone && text(n) == name)
                return at;
        }
    }
}

bool FolderNames::mayHold(std::uint64_t hash) const {
    // Only the tags are read: two bytes a slot keep a folder's table small.
    if (tags_.empty())
        return false;
    const std::size_t mask = tags_.size() - 1;
    const std::uint16_t tag = tagOf(hash);
    for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
        if (tags_[at] == 0)
            return false;
        if (tags_[at] == tag)
            return true;
    }
}

const FileKind* FolderNames::find(std::string_view name, std::uint64_t hash) const {
    const std::size_t at = slotOf(name, hash);
    return at == SIZE_MAX ? nullptr : &names_[indices_[at]].kind;
}

void FolderNames::renamed(std::string_view from, std::string_view to) {
    renamedTogether({{from, to}});
}

void FolderNames::renamedTogether(
    const std::vector<std::pair<std::string_view, std::string_view>>& renames) {
    // Every name goes first, then every name comes: in a swap each name is
    // both, and held at the end.
    std::vector<FileKind> kinds(renames.size(), FileKind::Unknown);
    for (std::size_t i = 0; i < renames.size(); ++i) {
        const std::string_view from = renames[i].first;
        if (const std::size_t at = slotOf(from, nameHash(from)); at != SIZE_MAX) {
            Name& n = names_[indices_[at]];
            kinds[i] = n.kind;
            n.gone = true; // its slot stays, so that the probe chains through it hold
            --held_;
        }
    }
    for (std::size_t i = 0; i < renames.size(); ++i) {
        const std::string_view to = renames[i].second;
        if (const std::size_t at = slotOf(to, nameHash(to)); at != SIZE_MAX) {
            names_[indices_[at]].kind = kinds[i]; // it replaced a file
            continue;
        }
        add(to, kinds[i]);
        if (2 * names_.size() + 2 > tags_.size())
            grow();
        else
            insert(names_.size() - 1, nameHash(to));
    }
}

PublishedNames::PublishedNames(const PublishedNames& other) {
    if (const FolderNames* names = other.get())
        names_.store(new FolderNames(*names), std::memory_order_release);
}

PublishedNames& PublishedNames::operator=(const PublishedNames& other) {
    if (this != &other) {
        const FolderNames* names = other.get();
        delete names_.exchange(names != nullptr ? new FolderNames(*names) : nullptr);
    }
    return *this;
}

PublishedNames::~PublishedNames() {
    delete names_.load();
}

void PublishedNames::publish(std::unique_ptr<FolderNames> names) const {
    FolderNames* expected = nullptr;
    if (names_.compare_exchange_strong(expected, names.get(), std::memory_order_release))
        (void)names.release();
}

void PublishedNames::renamed(std::string_view from, std::string_view to) const {
    if (FolderNames* names = names_.load(std::memory_order_acquire))
        names->renamed(from, to);
}

void PublishedNames::renamedTogether(
    const std::vector<std::pair<std::string_view, std::string_view>>& renames) const {
    if (FolderNames* names = names_.load(std::memory_order_acquire))
        names->renamedTogether(renames);
}

} // namespace vantrel
