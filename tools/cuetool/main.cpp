// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-cue: builds, opens and checks cue packs (the play/ folder).
//
//   tallyvox-cue scramble IN OUT     plain WAV files -> cue files
//   tallyvox-cue unscramble IN OUT   cue files -> plain WAV files
//   tallyvox-cue verify PATH         checks that cue files will play
//
// IN and OUT are both folders (every *.wav / *.WAV file of IN; OUT is
// created if needed) or both files. Every input is read and checked before
// anything is written, so a bad file leaves the output untouched. Files are
// read and decoded by the player's own code, so what passes here plays.
#include "numbers/AsciiCase.h"
#include "voice/CueDecoder.h"
#include "voice/CueScramble.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using tallyvox::CueKey;
using tallyvox::UnscrambleCue;

namespace {

struct CueFile {
    fs::path source;
    fs::path target;
    std::vector<std::uint8_t> image;
};

const char kUsage[] = "usage: tallyvox-cue scramble IN OUT\n"
                      "       tallyvox-cue unscramble IN OUT\n"
                      "       tallyvox-cue verify PATH\n"
                      "       tallyvox-cue --help | --version\n"
                      "IN and OUT are folders of .WAV files, or single files. A cue named N is\n"
                      "played from the file N.WAV of the play folder.\n";

int Usage()
{
    std::cerr << kUsage;
    return 2;
}

void Complain(const fs::path &where, const std::string &what)
{
    std::cerr << "tallyvox-cue: " << where.string() << ": " << what << '\n';
}

bool HasWavExtension(const std::string &fileName)
{
    return tallyvox::EndsWithNoCase(fileName, ".wav");
}

// The cue name of a file: its name without the last four characters, so
// ".WAV" is the empty name (std::filesystem would call it a stem).
std::string CueNameOf(const std::string &fileName)
{
    return fileName.substr(0, fileName.size() - 4);
}

// What a name is when it is not a regular file (nor a link to one), which
// the player never plays: "a FIFO", "a link to a device" ...; empty otherwise.
std::string NotAFile(const fs::path &path)
{
    std::error_code ec;
    const fs::file_status target = fs::status(path, ec);
    if (fs::is_regular_file(target))
        return {};
    std::string what = fs::is_fifo(target)                                          ? "a FIFO"
                       : fs::is_character_file(target) || fs::is_block_file(target) ? "a device"
                       : fs::is_directory(target)                                   ? "a folder"
                       : fs::is_socket(target)                                      ? "a socket"
                       : !fs::exists(target)                                        ? "missing"
                                                                                    : "not a regular file";
    if (fs::is_symlink(fs::symlink_status(path, ec)))
        what = fs::exists(target) ? "a link to " + what : "a link to nothing";
    return what;
}

bool ReadWhole(const fs::path &path, std::vector<std::uint8_t> &out)
{
    std::string problem = NotAFile(path);
    if (problem.empty())
        problem = tallyvox::ReadCueFile(path, out, tallyvox::MaxCueFileSize);
    if (!problem.empty())
        Complain(path, problem + "; the player skips it");
    return problem.empty();
}

// Why the player would not play a plain image; empty when it would.
std::string PlayProblem(const std::vector<std::uint8_t> &image)
{
    std::vector<std::uint8_t> samples;
    return tallyvox::DecodeCue(image, tallyvox::CueAudioFormat{}, samples);
}

// The names an argument stands for: every .wav/.WAV name in a folder,
// sorted, whatever it is (a FIFO or a link to a device named like a cue is a
// cue that will not play, to be reported, not skipped), or the one name.
// False (after saying why) when there is nothing at that name.
bool Collect(const fs::path &in, std::vector<fs::path> &files, bool &isFolder)
{
    std::error_code ec;
    const fs::file_status st = fs::status(in, ec);
    if (!fs::is_directory(st)) {
        if (!fs::exists(st) && !fs::is_symlink(fs::symlink_status(in, ec))) {
            Complain(in, "no such file or folder");
            return false;
        }
        isFolder = false;
        files.push_back(in);
        return true;
    }
    isFolder = true;
    for (fs::directory_iterator it(in, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (HasWavExtension(name))
            files.push_back(it->path());
    }
    if (ec) {
        Complain(in, ec.message());
        return false;
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        Complain(in, "holds no .WAV files");
        return false;
    }
    return true;
}

int Convert(bool scramble, const fs::path &in, const fs::path &out)
{
    std::vector<fs::path> sources;
    bool inIsFolder = false;
    if (!Collect(in, sources, inIsFolder))
        return 1;

    std::error_code ec;
    const bool outIsFolder = inIsFolder || fs::is_directory(out, ec);
    std::vector<CueFile> cues;
    std::map<fs::path, fs::path> targets;
    bool ok = true;
    for (const fs::path &source : sources) {
        CueFile cue{source, {}, {}};
        if (!ReadWhole(source, cue.image)) {
            ok = false;
            continue;
        }
        if (!scramble)
            UnscrambleCue(cue.image, CueKey());
        if (const std::string problem = PlayProblem(cue.image); !problem.empty()) {
            Complain(source, scramble ? problem : problem + " after unscrambling (not a cue file?)");
            ok = false;
            continue;
        }
        if (scramble)
            UnscrambleCue(cue.image, CueKey());
        cue.target = outIsFolder ? out / (CueNameOf(source.filename().string()) + ".WAV") : out;
        if (auto [at, fresh] = targets.emplace(cue.target, source); !fresh) {
            Complain(source, "names the same cue as " + at->second.filename().string());
            ok = false;
            continue;
        }
        cues.push_back(std::move(cue));
    }
    if (!ok)
        return 1;

    if (outIsFolder && (fs::create_directories(out, ec), ec)) {
        Complain(out, "cannot create folder: " + ec.message());
        return 1;
    }
    for (const CueFile &cue : cues) {
        std::ofstream file(cue.target, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(cue.image.data()), std::streamsize(cue.image.size()));
        file.close();
        if (!file) {
            Complain(cue.target, "cannot be written");
            return 1;
        }
    }
    std::cout << (scramble ? "scrambled " : "unscrambled ") << cues.size() << (cues.size() == 1 ? " cue" : " cues")
              << " into " << out.string() << '\n';
    return 0;
}

int Verify(const fs::path &target)
{
    std::vector<fs::path> files;
    bool isFolder = false;
    if (!Collect(target, files, isFolder))
        return 1;
    std::size_t bad = 0;
    for (const fs::path &path : files) {
        const std::string name = path.filename().string();
        std::vector<std::uint8_t> image;
        if (!ReadWhole(path, image)) {
            ++bad;
            continue;
        }
        UnscrambleCue(image, CueKey());
        if (const std::string problem = PlayProblem(image); !problem.empty()) {
            Complain(path, problem + " after unscrambling");
            ++bad;
        } else if (isFolder && name.compare(name.size() - 4, 4, ".WAV") != 0) {
            Complain(path, "never played: the player asks for " + CueNameOf(name) + ".WAV");
            ++bad;
        }
    }
    std::cout << files.size() << (files.size() == 1 ? " cue file" : " cue files") << " checked, " << bad << " bad\n";
    return bad == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 1 && args[0] == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (args.size() == 1 && args[0] == "--version") {
            std::cout << "tallyvox-cue " TALLYVOX_VERSION "\n";
            return 0;
        }
        if (args.size() == 3 && (args[0] == "scramble" || args[0] == "unscramble"))
            return Convert(args[0] == "scramble", args[1], args[2]);
        if (args.size() == 2 && args[0] == "verify")
            return Verify(args[1]);
        return Usage();
    } catch (const std::exception &e) {
        std::cerr << "tallyvox-cue: " << e.what() << '\n';
        return 1;
    }
}
