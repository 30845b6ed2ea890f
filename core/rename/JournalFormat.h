#pragma once

// The journal's text, shared by its writer and its reader.
//
// Text lines ending in LF, each ending in a TAB and the CRC-32 of the batch's
// identity followed by the line before that TAB (eight lower-case hex
// digits), so that a changed byte anywhere makes the line unreadable and a
// line of one batch reads as damaged in another. The first line is
//   vantrel rename journal 2<TAB><batch>          16 lower-case hex digits
// then
//   R<TAB>n<TAB>device<TAB>inode<TAB>old<TAB>new  pair n, the entry with this
//                                                 identity, is about to be
//                                                 renamed
//   T<TAB>n<TAB>temporary path                    pair n moves through this
//                                                 name (the latest counts)
//   D<TAB>n                                       pair n was renamed
//   F<TAB>n                                       pair n failed: nothing happened
//   E<TAB>count                                   the batch ended after count pairs
// Numbers are decimal without leading zeros. In paths, every control byte
// (TAB and LF among them), DEL and "%" are written as "%" and two upper-case
// hex digits; every other byte is written as it is, so any name, valid UTF-8
// or not, comes back byte for byte.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::journal {

/// CRC-32 (the IEEE polynomial, reflected) of `bytes`, continuing from `crc`.
[[nodiscard]] std::uint32_t crc32(std::string_view bytes, std::uint32_t crc = 0);
/// The same, by tables alone, on any processor: what the faster way that
/// crc32 takes where the processor offers it must agree with.
[[nodiscard]] std::uint32_t crc32Tables(std::string_view bytes, std::uint32_t crc = 0);

/// Appends `text` with the bytes that could split a line or a field escaped.
void appendEscaped(std::string& out, std::string_view text);
/// Appends `value` in decimal.
void appendNumber(std::string& out, std::uint64_t value);
/// Appends the line `content` sealed for `batch`: TAB, checksum, LF.
void appendSealed(std::string& out, std::string_view batch, std::string_view content);
/// Seals the line that `out` holds from `start` on, for the batch whose
/// `crc32` is `batchCrc`: as appendSealed, without copying the line.
void sealFrom(std::string& out, std::size_t start, std::uint32_t batchCrc);

/// A path the reader accepts: absolute, without NUL (which would cut it short
/// at the system call and so name another file).
[[nodiscard]] bool isUsablePath(std::string_view path);

/// Whether `head`, the start of a file, may be a journal (of any version):
/// empty, the stem, or cut short within it, zeros reserved after it.
[[nodiscard]] bool mayBeJournal(std::string_view head);

/// The batch identity of a header line, or empty when it is not this
/// version's header with a good checksum.
[[nodiscard]] std::string batchOfHeader(std::string_view line);

} // namespace vantrel::journal
