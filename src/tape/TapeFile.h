// SPDX-License-Identifier: GPL-3.0-or-later
// The tape's file: a versioned text file of one entry per line, and the
// reading and writing of it. Pure C++ and POSIX, no Qt.
//
// Format, UTF-8, lines ended by LF (CR LF is read too):
//   tallyvox-tape<TAB>1
//   <time><TAB><result><TAB><term><TAB><term>...
// time: seconds since 1970-01-01 UTC, decimal. result: the result text as
// the display showed it. Each term is one letter and its text: n a number
// as shown ("n12"), k a key by its driver token ("k*", "ksqrt"), t text of
// an expression shown as typed ("t("). In texts, backslash, tab, CR and LF
// are written \\ \t \r \n. Oldest entry first; a line that does not read
// so is skipped, never the whole file.
//
// Writes never lose what is there: a new entry is appended as one whole
// line; removing, clearing and trimming to the capacity write a new file
// beside the old one, flush it to the disk and rename it over the old one.
// Every change holds an exclusive lock on "<file>.lock", and the changes
// that rewrite re-read the file under it, so a second running Tallyvox
// loses nothing of the first's.
#pragma once

#include "tape/TapeEntry.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvox {

inline constexpr int kTapeFormatVersion = 1;
// A longer line is damage, not an entry.
inline constexpr std::size_t kMaxTapeLineBytes = 16 * 1024;
// Of a larger file only the end is read (far more than the capacity).
inline constexpr std::size_t kMaxTapeReadBytes = 4 * 1024 * 1024;

std::string TapeHeaderLine();
// One entry's line, without its LF.
std::string EncodeTapeLine(const TapeEntry &entry);
// Empty for a line that is not an entry (CR at the end is allowed).
std::optional<TapeEntry> DecodeTapeLine(std::string_view line);

struct TapeRead {
    enum class Status {
        Missing,    // no file: an empty tape
        Read,       // every line read
        Damaged,    // some lines skipped (damaged, truncated, cut off by size)
        Foreign,    // not a tape file at all: nothing read
        Newer,      // a later version of the format: nothing read, never written
        Unreadable, // could not be opened or read
    };
    Status status = Status::Missing;
    std::vector<TapeEntry> entries; // oldest first
    std::size_t skipped = 0;        // lines that were not entries
    std::size_t lines = 0;          // entry lines in the file, read or not
    std::string problem;            // for the one report; empty when Read or Missing
};

// Reads the text of a tape file.
TapeRead ParseTapeText(std::string_view text, bool cutAtStart = false);
TapeRead ReadTapeFile(const std::filesystem::path &file);

// $XDG_DATA_HOME/tallyvox/tape.txt, or ~/.local/share/tallyvox/tape.txt.
std::filesystem::path DefaultTapeFile();

// The file operations, each whole under the lock. They return an empty
// string on success, else what went wrong, for the one report.
class TapeFile {
public:
    explicit TapeFile(std::filesystem::path file) : file_(std::move(file)) {}
    const std::filesystem::path &Path() const { return file_; }

    // Appends one entry (the header first into an empty file).
    std::string Append(const TapeEntry &entry);
    // Removes the newest line equal to this entry's, keeps the newest
    // capacity entries and drops damaged lines: the file written anew.
    std::string Remove(const TapeEntry &entry, std::size_t capacity);
    // Trims to the newest capacity entries.
    std::string Trim(std::size_t capacity);
    // Writes exactly these entries, whatever the file held.
    std::string Replace(const std::vector<TapeEntry> &entries);
    // Deletes the file (keeping switched off).
    std::string Delete();
    // Moves a damaged or foreign file aside, to "<file>.damaged-<time>",
    // before it is written anew. Returns the new name's error, if any.
    std::string SetAside(std::filesystem::path *asideName = nullptr);

private:
    // Runs body with the lock held and the folder made.
    template <typename Body>
    std::string Locked(Body body);
    std::string Rewrite(const std::vector<TapeEntry> &entries);

    std::filesystem::path file_;
};

} // namespace tallyvox
