// The rename journal: arbitrary bytes to the reader, and arbitrary batches
// (any name bytes, any outcome, temporary names) through the writer and back.
//
// Input layout: the first byte chooses. Even: the rest is journal text; when
// bit 1 is set a header goes in front and every line gets its checksum, so
// the fuzzer reaches the records without forging checksums. Odd: the rest
// drives a batch written to a journal in memory, read back whole and cut
// short at a chosen length.
#include "rename/Journal.h"
#include "testsupport/MemoryFileSystem.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

/// What the reader may hand to undo: nothing that names another file.
void checkUsable(const vantrel::JournalContents& contents) {
    require(contents.sequences.size() == contents.log.pairs().size());
    for (const vantrel::UndoPair& p : contents.log.pairs()) {
        for (const std::string* path : {&p.oldPath, &p.newPath}) {
            require(!path->empty() && path->front() == '/');
            require(path->find('\0') == std::string::npos);
        }
        require(p.temporaryPath.empty() || p.temporaryPath.front() == '/');
        require(p.identity.known());
    }
}

void readArbitraryText(FuzzedDataProvider& in) {
    const bool seal = (in.ConsumeIntegral<std::uint8_t>() & 2) != 0;
    const std::string rest = in.ConsumeRemainingBytesAsString();
    std::string text;
    if (seal) {
        const std::string batch = "00000000deadbeef";
        text = vantrel::sealJournalLine("", std::string(vantrel::kJournalStem) + "2\t" + batch);
        std::size_t start = 0;
        for (std::size_t end = rest.find('\n'); end != std::string::npos;
             start = end + 1, end = rest.find('\n', start))
            text +=
                vantrel::sealJournalLine(batch, std::string_view(rest).substr(start, end - start));
        text += rest.substr(start); // the last line stays torn
    } else {
        text = rest;
    }
    vantrel::JournalContents contents;
    if (vantrel::parseJournal(text, contents).ok())
        checkUsable(contents);
    else
        require(contents.log.empty());
}

std::string somePath(FuzzedDataProvider& in) {
    std::string path = "/" + in.ConsumeRandomLengthString(48);
    std::erase(path, '\0');
    return path;
}

struct Written {
    vantrel::UndoPair pair;
    std::vector<std::string> temporaries;
    int outcome = 0; // 0 done, 1 failed, 2 never marked
};

void writeAndReadBack(FuzzedDataProvider& in) {
    vantrel::MemoryFileSystem fs;
    std::vector<Written> written;
    vantrel::FileJournal journal(fs, "/j");
    require(journal.beginBatch().ok());
    const int count = in.ConsumeIntegralInRange(0, 40);
    for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
        Written w;
        // Numbered, so that a pair read from a cut file names its origin.
        w.pair.oldPath = "/" + std::to_string(i) + somePath(in);
        w.pair.newPath = somePath(in);
        w.pair.identity = {in.ConsumeIntegral<std::uint64_t>(),
                           in.ConsumeIntegral<std::uint64_t>()};
        if (!w.pair.identity.known())
            w.pair.identity.inode = 1;
        require(journal.beforeRename(w.pair).ok());
        for (int t = in.ConsumeIntegralInRange(0, 2); t > 0; --t) {
            w.pair.temporaryPath = somePath(in);
            w.temporaries.push_back(w.pair.temporaryPath);
            require(journal.viaTemporary(w.pair.temporaryPath).ok());
        }
        w.outcome = in.ConsumeIntegralInRange(0, 2);
        journal.afterRename(w.outcome == 0   ? vantrel::RenameEffect::Renamed
                            : w.outcome == 1 ? vantrel::RenameEffect::NotRenamed
                                             : vantrel::RenameEffect::Unknown);
        w.pair.confirmed = w.outcome == 0;
        written.push_back(std::move(w));
    }
    journal.endBatch();
    require(journal.writeFailure().ok());

    const std::string text = fs.content("/j");
    vantrel::JournalContents read;
    require(vantrel::parseJournal(text, read).ok());
    require(read.damage.lines == 0 && !read.damage.tornTail && read.finished);
    require(read.batch == journal.batch());
    const vantrel::UndoLog& log = read.log;
    std::size_t next = 0;
    for (const Written& w : written) {
        if (w.outcome == 1)
            continue;
        require(next < log.pairs().size());
        const vantrel::UndoPair& p = log.pairs()[next++];
        require(p.oldPath == w.pair.oldPath && p.newPath == w.pair.newPath &&
                p.temporaryPath == w.pair.temporaryPath && p.confirmed == w.pair.confirmed &&
                p.identity == w.pair.identity);
    }
    require(next == log.pairs().size());

    // Cut short: a part of what was written, read exactly, never more certain.
    const std::size_t cut =
        text.empty() ? 0 : std::size_t(in.ConsumeIntegral<std::uint32_t>()) % (text.size() + 1);
    vantrel::JournalContents part;
    require(vantrel::parseJournal(text.substr(0, cut), part).ok());
    require(part.damage.lines == 0);
    require(!part.finished || cut == text.size());
    std::size_t at = 0;
    for (const vantrel::UndoPair& p : part.log.pairs()) {
        while (at < written.size() && written[at].pair.oldPath != p.oldPath)
            ++at;
        require(at < written.size());
        const Written& w = written[at++];
        require(p.newPath == w.pair.newPath);
        require(p.temporaryPath.empty() || std::find(w.temporaries.begin(), w.temporaries.end(),
                                                     p.temporaryPath) != w.temporaries.end());
        require(!p.confirmed || w.outcome == 0);
        require(p.identity == w.pair.identity);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if ((in.ConsumeIntegral<std::uint8_t>() & 1) == 0)
        readArbitraryText(in);
    else
        writeAndReadBack(in);
    return 0;
}
