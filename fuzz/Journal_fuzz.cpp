// The rename journal: arbitrary bytes to the reader, and arbitrary batches
// (any name bytes, any outcome, temporary names) through the writer and back.
//
// Input layout: the first byte chooses. Even: the rest is journal text (with
// the header put in front when bit 1 is set, so the fuzzer need not find
// it). Odd: the rest drives a batch written to a file, read back whole and
// cut short at a chosen length.
#include "rename/Journal.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

/// A private folder for the writer's file, removed at exit.
class Scratch {
public:
    Scratch() {
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/vantrel-journal-fuzz-XXXXXX";
        require(::mkdtemp(pattern.data()) != nullptr);
        folder_ = pattern;
        file = folder_ + "/j";
    }
    ~Scratch() {
        ::unlink(file.c_str());
        ::rmdir(folder_.c_str());
    }
    std::string file;

private:
    std::string folder_;
};

/// What the reader may hand to undo: nothing that names another file.
void checkUsable(const vantrel::UndoLog& log) {
    for (const vantrel::UndoPair& p : log.pairs()) {
        for (const std::string* path : {&p.oldPath, &p.newPath}) {
            require(!path->empty() && path->front() == '/');
            require(path->find('\0') == std::string::npos);
        }
        require(p.temporaryPath.empty() || p.temporaryPath.front() == '/');
    }
}

void readArbitraryText(FuzzedDataProvider& in) {
    std::string text;
    if ((in.ConsumeIntegral<std::uint8_t>() & 2) != 0) {
        text = vantrel::kJournalHeader;
        text += '\n';
    }
    text += in.ConsumeRemainingBytesAsString();
    vantrel::UndoLog log;
    vantrel::JournalDamage damage;
    if (vantrel::parseJournal(text, log, &damage).ok())
        checkUsable(log);
    else
        require(log.empty());
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
    static Scratch scratch;
    std::vector<Written> written;
    vantrel::FileJournal journal(scratch.file);
    require(journal.beginBatch().ok());
    const int count = in.ConsumeIntegralInRange(0, 40);
    for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
        Written w;
        // Numbered, so that a pair read from a cut file names its origin.
        w.pair.oldPath = "/" + std::to_string(i) + somePath(in);
        w.pair.newPath = somePath(in);
        require(journal.beforeRename(w.pair).ok());
        for (int t = in.ConsumeIntegralInRange(0, 2); t > 0; --t) {
            w.pair.temporaryPath = somePath(in);
            w.temporaries.push_back(w.pair.temporaryPath);
            require(journal.viaTemporary(w.pair.temporaryPath).ok());
        }
        w.outcome = in.ConsumeIntegralInRange(0, 2);
        if (w.outcome != 2)
            journal.afterRename(w.outcome == 0);
        w.pair.confirmed = w.outcome == 0;
        written.push_back(std::move(w));
    }
    journal.endBatch();
    require(journal.writeFailure().ok());

    std::ifstream file(scratch.file, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    const std::string text = content.str();

    vantrel::UndoLog log;
    vantrel::JournalDamage damage;
    require(vantrel::parseJournal(text, log, &damage).ok());
    require(damage.lines == 0 && !damage.tornTail);
    std::size_t next = 0;
    for (const Written& w : written) {
        if (w.outcome == 1)
            continue;
        require(next < log.pairs().size());
        const vantrel::UndoPair& p = log.pairs()[next++];
        require(p.oldPath == w.pair.oldPath && p.newPath == w.pair.newPath &&
                p.temporaryPath == w.pair.temporaryPath && p.confirmed == w.pair.confirmed);
    }
    require(next == log.pairs().size());

    // Cut short: a part of what was written, read exactly, never more certain.
    const std::size_t cut =
        text.empty() ? 0 : std::size_t(in.ConsumeIntegral<std::uint32_t>()) % (text.size() + 1);
    vantrel::UndoLog part;
    require(vantrel::parseJournal(text.substr(0, cut), part, &damage).ok());
    require(damage.lines == 0);
    std::size_t at = 0;
    for (const vantrel::UndoPair& p : part.pairs()) {
        while (at < written.size() && written[at].pair.oldPath != p.oldPath)
            ++at;
        require(at < written.size());
        const Written& w = written[at++];
        require(p.newPath == w.pair.newPath);
        require(p.temporaryPath.empty() || std::find(w.temporaries.begin(), w.temporaries.end(),
                                                     p.temporaryPath) != w.temporaries.end());
        require(!p.confirmed || w.outcome == 0);
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
