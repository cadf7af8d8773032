// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/CueScramble.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallyvox {

std::string_view CueKey()
{
    // "&!好~@天#!看&!~风*~*云@~!#&@!~#*!" in GBK: the cue files were scrambled
    // with these bytes, not with the characters' UTF-8 form.
    static constexpr char key[] = "\x26\x21\xba\xc3\x7e\x40\xcc\xec\x23\x21\xbf"
                                  "\xb4\x26\x21\x7e\xb7\xe7\x2a\x7e\x2a\xd4\xc6"
                                  "\x40\x7e\x21\x23\x26\x40\x21\x7e\x23\x2a\x21";
    static_assert(sizeof(key) - 1 == 33);
    return {key, sizeof(key) - 1};
}

void UnscrambleCue(std::vector<std::uint8_t> &buffer, std::string_view key)
{
    const std::uint64_t size = buffer.size();
    if (size <= 100 || key.empty())
        return;
    std::uint64_t p = 100 + std::uint64_t(buffer[98]);
    if (p >= size)
        return;

    // The key repeated to a block of whole cycles that is also a whole
    // number of 64-bit words, XORed a word at a time.
    constexpr std::size_t MaxBlock = 1024;
    std::size_t cycles = key.size() <= MaxBlock ? MaxBlock / key.size() : 0;
    if (cycles >= 8)
        cycles -= cycles % 8;
    if (cycles == 0) {
        for (std::size_t k = 0; p < size; ++p, k = (k + 1) % key.size())
            buffer[p] ^= static_cast<std::uint8_t>(key[k]);
        return;
    }
    const std::size_t blockSize = cycles * key.size();
    std::uint8_t block[MaxBlock];
    for (std::size_t i = 0; i < blockSize; ++i)
        block[i] = static_cast<std::uint8_t>(key[i % key.size()]);

    std::uint8_t *at = buffer.data() + p;
    std::uint64_t left = size - p;
    if (blockSize % 8 == 0) {
        for (; left >= blockSize; left -= blockSize, at += blockSize) {
            for (std::size_t i = 0; i < blockSize; i += 8) {
                std::uint64_t word, mask;
                std::memcpy(&word, at + i, 8);
                std::memcpy(&mask, block + i, 8);
                word ^= mask;
                std::memcpy(at + i, &word, 8);
            }
        }
    }
    for (; left >= blockSize; left -= blockSize, at += blockSize)
        for (std::size_t i = 0; i < blockSize; ++i)
            at[i] ^= block[i];
    for (std::size_t i = 0; i < left; ++i)
        at[i] ^= block[i];
}

std::string ReadCueFile(const std::filesystem::path &path, std::vector<std::uint8_t> &buffer, std::uintmax_t maxSize)
{
    try {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return std::strerror(errno);
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            return "not a regular file";
        const auto size = static_cast<std::uintmax_t>(st.st_size);
        if (size == 0)
            return "empty file";
        if (size > maxSize)
            return "larger than " + std::to_string(maxSize >> 20) + " MiB";
        buffer.resize(size);
        for (std::uintmax_t done = 0; done < size;) {
            const ssize_t n = ::read(fd, buffer.data() + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return "cannot be read";
            done += std::uintmax_t(n);
        }
        return {};
    } catch (...) {
        return "cannot be read";
    }
}

bool LoadCueFile(const std::filesystem::path &path, std::vector<std::uint8_t> &buffer, std::string_view key,
                 std::uintmax_t maxSize)
{
    if (!ReadCueFile(path, buffer, maxSize).empty())
        return false;
    UnscrambleCue(buffer, key);
    return true;
}

} // namespace tallyvox
