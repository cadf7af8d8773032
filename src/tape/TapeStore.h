// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the tape's file in step with the tape, on a thread of its own: a key
// only queues the change and never waits for the disk. A file that cannot be
// written leaves the tape in memory, said once through the report. Pure C++.
#pragma once

#include "tape/Tape.h"
#include "tape/TapeFile.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tallyvox {

class TapeStore {
public:
    // report: called on the store's thread, at most once for a file that
    // cannot be written and once for one that was damaged.
    TapeStore(std::filesystem::path file, std::function<void(const std::string &)> report,
              std::size_t capacity = kTapeCapacity);
    // Finishes every queued change first.
    ~TapeStore();
    TapeStore(const TapeStore &) = delete;
    TapeStore &operator=(const TapeStore &) = delete;

    // Reads the file (on the caller's thread: start-up reads once the window
    // is shown). A damaged or foreign file is moved aside and written anew
    // with what was readable; a later version's is left alone and nothing
    // is written to it.
    TapeRead Load();

    void Added(const TapeEntry &entry);
    void Removed(const TapeEntry &entry);
    void Cleared();
    // Keeping switched off: the file goes and nothing more is written.
    void StopKeeping();
    // Keeping switched on: the file becomes what the tape holds.
    void StartKeeping(const std::vector<TapeEntry> &entries);

    // Waits until every queued change is on the disk (or has failed).
    void Flush();
    const std::filesystem::path &Path() const { return file_.Path(); }

private:
    struct Change {
        enum class Kind { Append, Remove, Replace, SetAsideAndReplace, Delete } kind;
        TapeEntry entry;
        std::vector<TapeEntry> entries;
    };
    void Queue(Change change);
    void Run();
    void Apply(const Change &change);

    TapeFile file_;
    std::function<void(const std::string &)> report_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Change> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    bool keeping_ = true;
    // Worker-only from here on.
    bool writable_ = true; // false for a later version's file
    bool reportedFailure_ = false;
    std::size_t lines_ = 0; // entry lines in the file, to trim it now and then
    std::thread worker_;
};

} // namespace tallyvox
