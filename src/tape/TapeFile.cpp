// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeFile.h"

#include "engine/KeyTable.h"
#include "numbers/Utf8.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallyvox {

namespace {

constexpr std::string_view kMagic = "tallyvox-tape\t";

void AppendEscaped(std::string &out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
}

bool Unescape(std::string_view field, std::string *out)
{
    out->clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            *out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case '\\': *out += '\\'; break;
        case 't': *out += '\t'; break;
        case 'r': *out += '\r'; break;
        case 'n': *out += '\n'; break;
        default: return false;
        }
    }
    // Whatever the line holds comes back as text on the screen and in JSON.
    for (std::size_t at = 0; at < out->size();) {
        const std::size_t length = WellFormedCharLength(*out, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::vector<std::string_view> SplitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

std::string ErrorText(const std::filesystem::path &path, int error)
{
    return path.string() + ": " + std::strerror(error);
}

// Writes all of text to fd; false with errno set otherwise.
bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    // Closes now, reporting a failed close (a full disk can show up here).
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

} // namespace

std::string TapeHeaderLine()
{
    return std::string(kMagic) + std::to_string(kTapeFormatVersion);
}

std::string EncodeTapeLine(const TapeEntry &entry)
{
    std::string line = std::to_string(entry.time);
    line += '\t';
    AppendEscaped(line, entry.calculation.result);
    for (const CalculationTerm &term : entry.calculation.terms) {
        line += '\t';
        line += term.kind == CalculationTerm::Kind::Number ? 'n' : term.kind == CalculationTerm::Kind::Key ? 'k' : 't';
        AppendEscaped(line, term.text);
    }
    return line;
}

std::optional<TapeEntry> DecodeTapeLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.size() > kMaxTapeLineBytes)
        return std::nullopt;
    const std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() < 3)
        return std::nullopt;
    TapeEntry entry;
    const std::string_view time = fields[0];
    const auto [end, ec] = std::from_chars(time.data(), time.data() + time.size(), entry.time);
    if (time.empty() || ec != std::errc() || end != time.data() + time.size() || entry.time < 0)
        return std::nullopt;
    if (!Unescape(fields[1], &entry.calculation.result) || entry.calculation.result.empty())
        return std::nullopt;
    for (std::size_t i = 2; i < fields.size(); ++i) {
        const std::string_view field = fields[i];
        if (field.size() < 2)
            return std::nullopt;
        CalculationTerm term;
        switch (field.front()) {
        case 'n': term.kind = CalculationTerm::Kind::Number; break;
        case 'k': term.kind = CalculationTerm::Kind::Key; break;
        case 't': term.kind = CalculationTerm::Kind::Text; break;
        default: return std::nullopt;
        }
        if (!Unescape(field.substr(1), &term.text))
            return std::nullopt;
        if (term.kind == CalculationTerm::Kind::Key && !FindKeyByToken(term.text))
            return std::nullopt;
        entry.calculation.terms.push_back(std::move(term));
    }
    return entry;
}

TapeRead ParseTapeText(std::string_view text, bool cutAtStart)
{
    TapeRead read;
    if (text.empty())
        return read; // an empty file is an empty tape
    const std::size_t firstEnd = text.find('\n');
    std::string_view header = text.substr(0, firstEnd);
    if (!header.empty() && header.back() == '\r')
        header.remove_suffix(1);
    int version = 0;
    const std::string_view number = header.substr(std::min(header.size(), kMagic.size()));
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), version);
    if (!header.starts_with(kMagic) || number.empty() || ec != std::errc() || end != number.data() + number.size()) {
        read.status = TapeRead::Status::Foreign;
        read.problem = "not a tape file";
        return read;
    }
    if (version > kTapeFormatVersion) {
        read.status = TapeRead::Status::Newer;
        read.problem = "written by a later Tallyvox (format " + std::to_string(version) + ")";
        return read;
    }
    if (version < 1) {
        read.status = TapeRead::Status::Foreign;
        read.problem = "not a tape file";
        return read;
    }
    if (firstEnd == std::string_view::npos)
        text = {};
    else
        text.remove_prefix(firstEnd + 1);
    // A file cut at its start (read from its end) begins inside a line.
    if (cutAtStart) {
        const std::size_t newline = text.find('\n');
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++read.skipped;
    }
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (line.empty() || line == "\r")
            continue;
        ++read.lines;
        // A last line without its LF was cut off mid-write: its result may be short.
        std::optional<TapeEntry> entry;
        if (newline != std::string_view::npos)
            entry = DecodeTapeLine(line);
        if (entry)
            read.entries.push_back(std::move(*entry));
        else
            ++read.skipped;
    }
    read.status = read.skipped ? TapeRead::Status::Damaged : TapeRead::Status::Read;
    if (read.skipped)
        read.problem = std::to_string(read.skipped) + " damaged line" + (read.skipped == 1 ? "" : "s") + " skipped";
    return read;
}

TapeRead ReadTapeFile(const std::filesystem::path &file)
{
    TapeRead read;
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno != ENOENT) {
            read.status = TapeRead::Status::Unreadable;
            read.problem = ErrorText(file, errno);
        }
        return read;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        read.status = TapeRead::Status::Foreign;
        read.problem = "not a regular file";
        return read;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    const bool cut = size > kMaxTapeReadBytes;
    std::string text;
    // The header, then (of a huge file) only its end.
    const auto readAt = [&](std::size_t at, std::size_t count) {
        std::string chunk(count, '\0');
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = ::pread(fd.get(), chunk.data() + got, count - got, static_cast<off_t>(at + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        chunk.resize(got);
        return chunk;
    };
    if (cut) {
        std::string head = readAt(0, 64);
        head.resize(std::min(head.size(), head.find('\n') == std::string::npos ? head.size() : head.find('\n') + 1));
        text = head + readAt(size - kMaxTapeReadBytes, kMaxTapeReadBytes);
    } else {
        text = readAt(0, size);
    }
    read = ParseTapeText(text, cut);
    if (cut && read.status == TapeRead::Status::Damaged)
        read.problem = "only the last " + std::to_string(kMaxTapeReadBytes >> 20) + " MiB of " + std::to_string(size) +
                       " bytes read; " + read.problem;
    return read;
}

std::filesystem::path DefaultTapeFile()
{
    std::filesystem::path data;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        data = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home)
        data = std::filesystem::path(home) / ".local/share";
    else
        data = ".";
    return data / "tallyvox" / "tape.txt";
}

template <typename Body>
std::string TapeFile::Locked(Body body)
{
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    if (ec)
        return file_.parent_path().string() + ": " + ec.message();
    std::filesystem::path lockName = file_;
    lockName += ".lock";
    Fd lock(::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0)
        return ErrorText(lockName, errno);
    while (::flock(lock.get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return ErrorText(lockName, errno);
    return body(); // the lock ends with its descriptor
}

std::string TapeFile::Append(const TapeEntry &entry)
{
    return Locked([&]() -> std::string {
        Fd fd(::open(file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
        if (fd.get() < 0)
            return ErrorText(file_, errno);
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return ErrorText(file_, errno);
        std::string text;
        if (st.st_size == 0) {
            text = TapeHeaderLine() + "\n";
        } else {
            // A line cut off by a crash must not swallow this one.
            char last = '\n';
            if (::pread(fd.get(), &last, 1, st.st_size - 1) == 1 && last != '\n')
                text = "\n";
        }
        text += EncodeTapeLine(entry) + "\n";
        if (!WriteAll(fd.get(), text) || ::fsync(fd.get()) != 0) {
            const int error = errno;
            // A partial line is cut off again rather than left to glue to the next.
            if (::ftruncate(fd.get(), st.st_size) != 0) {
            }
            return ErrorText(file_, error);
        }
        if (!fd.Close())
            return ErrorText(file_, errno);
        return {};
    });
}

std::string TapeFile::Rewrite(const std::vector<TapeEntry> &entries)
{
    std::string text = TapeHeaderLine() + "\n";
    for (const TapeEntry &entry : entries)
        text += EncodeTapeLine(entry) + "\n";
    std::string temporary = file_.string() + ".XXXXXX";
    Fd fd(::mkstemp(temporary.data()));
    if (fd.get() < 0)
        return ErrorText(file_.parent_path(), errno);
    const auto fail = [&](int error) {
        ::unlink(temporary.c_str());
        return ErrorText(file_, error);
    };
    if (!WriteAll(fd.get(), text) || ::fsync(fd.get()) != 0)
        return fail(errno);
    if (!fd.Close())
        return fail(errno);
    if (::rename(temporary.c_str(), file_.c_str()) != 0)
        return fail(errno);
    // The rename itself is on the disk once the folder is.
    Fd folder(::open(file_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
    return {};
}

std::string TapeFile::SetAside(std::filesystem::path *asideName)
{
    std::filesystem::path aside = file_;
    aside += ".damaged-" + std::to_string(std::time(nullptr));
    // Never over an earlier one.
    for (int n = 1; std::filesystem::exists(aside); ++n) {
        aside = file_;
        aside += ".damaged-" + std::to_string(std::time(nullptr)) + "-" + std::to_string(n);
    }
    if (::rename(file_.c_str(), aside.c_str()) != 0 && errno != ENOENT)
        return ErrorText(aside, errno);
    if (asideName)
        *asideName = aside;
    return {};
}

namespace {

// The file's entries as they stand, for a change that rewrites it; moves a
// damaged file aside first. Refuses a later version's file.
std::string Reread(TapeFile &file, std::vector<TapeEntry> *entries)
{
    TapeRead read = ReadTapeFile(file.Path());
    switch (read.status) {
    case TapeRead::Status::Newer:
    case TapeRead::Status::Unreadable: return read.problem;
    case TapeRead::Status::Damaged:
    case TapeRead::Status::Foreign:
        if (std::string error = file.SetAside(); !error.empty())
            return error;
        break;
    default: break;
    }
    *entries = std::move(read.entries);
    return {};
}

void KeepNewest(std::vector<TapeEntry> &entries, std::size_t capacity)
{
    if (entries.size() > capacity)
        entries.erase(entries.begin(), entries.end() - static_cast<std::ptrdiff_t>(capacity));
}

} // namespace

std::string TapeFile::Remove(const TapeEntry &entry, std::size_t capacity)
{
    return Locked([&]() -> std::string {
        std::vector<TapeEntry> entries;
        if (std::string error = Reread(*this, &entries); !error.empty())
            return error;
        // The newest equal entry is the one the tape shows last.
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (*it == entry) {
                entries.erase(std::next(it).base());
                break;
            }
        }
        KeepNewest(entries, capacity);
        return Rewrite(entries);
    });
}

std::string TapeFile::Trim(std::size_t capacity)
{
    return Locked([&]() -> std::string {
        std::vector<TapeEntry> entries;
        if (std::string error = Reread(*this, &entries); !error.empty())
            return error;
        KeepNewest(entries, capacity);
        return Rewrite(entries);
    });
}

std::string TapeFile::Replace(const std::vector<TapeEntry> &entries)
{
    return Locked([&]() -> std::string {
        if (TapeRead read = ReadTapeFile(file_); read.status == TapeRead::Status::Newer)
            return read.problem;
        return Rewrite(entries);
    });
}

std::string TapeFile::Delete()
{
    return Locked([&]() -> std::string {
        if (::unlink(file_.c_str()) != 0 && errno != ENOENT)
            return ErrorText(file_, errno);
        return {};
    });
}

} // namespace tallyvox
