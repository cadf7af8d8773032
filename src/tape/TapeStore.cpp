// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeStore.h"

namespace tallyvox {

TapeStore::TapeStore(std::filesystem::path file, std::function<void(const std::string &)> report, std::size_t capacity)
    : file_(std::move(file)), report_(std::move(report)), capacity_(capacity), worker_([this] { Run(); })
{
}

TapeStore::~TapeStore()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

TapeRead TapeStore::Load()
{
    TapeRead read = ReadTapeFile(file_.Path());
    std::lock_guard lock(mutex_);
    lines_ = read.lines;
    switch (read.status) {
    case TapeRead::Status::Newer:
        writable_ = false;
        if (report_)
            report_("tape " + file_.Path().string() + ": " + read.problem + "; this session's tape is not kept");
        break;
    case TapeRead::Status::Damaged:
    case TapeRead::Status::Foreign:
        if (report_)
            report_("tape " + file_.Path().string() + ": " + read.problem + "; the file is kept aside");
        queue_.push_back({Change::Kind::SetAsideAndReplace, {}, read.entries});
        wake_.notify_one();
        break;
    case TapeRead::Status::Unreadable:
        if (report_)
            report_("tape " + read.problem);
        break;
    default: break;
    }
    return read;
}

void TapeStore::Queue(Change change)
{
    {
        std::lock_guard lock(mutex_);
        if (!keeping_ && change.kind != Change::Kind::Replace)
            return;
        queue_.push_back(std::move(change));
    }
    wake_.notify_one();
}

void TapeStore::Added(const TapeEntry &entry)
{
    Queue({Change::Kind::Append, entry, {}});
}

void TapeStore::Removed(const TapeEntry &entry)
{
    Queue({Change::Kind::Remove, entry, {}});
}

void TapeStore::Cleared()
{
    Queue({Change::Kind::Replace, {}, {}});
}

void TapeStore::StopKeeping()
{
    {
        std::lock_guard lock(mutex_);
        keeping_ = false;
        queue_.clear();
        queue_.push_back({Change::Kind::Delete, {}, {}});
    }
    wake_.notify_one();
}

void TapeStore::StartKeeping(const std::vector<TapeEntry> &entries)
{
    {
        std::lock_guard lock(mutex_);
        keeping_ = true;
    }
    Queue({Change::Kind::Replace, {}, entries});
}

void TapeStore::Flush()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void TapeStore::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            if (stopping_)
                return;
            continue;
        }
        Change change = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        const bool writable = writable_;
        lock.unlock();
        if (writable || change.kind == Change::Kind::Delete)
            Apply(change);
        lock.lock();
        busy_ = false;
        if (queue_.empty())
            idle_.notify_all();
    }
}

void TapeStore::Apply(const Change &change)
{
    std::string error;
    switch (change.kind) {
    case Change::Kind::Append:
        error = file_.Append(change.entry);
        // Two running copies append to the same file: now and then it is
        // trimmed back to the capacity.
        if (error.empty() && ++lines_ > 2 * capacity_) {
            error = file_.Trim(capacity_);
            lines_ = capacity_;
        }
        break;
    case Change::Kind::Remove: error = file_.Remove(change.entry, capacity_); break;
    case Change::Kind::Replace: error = file_.Replace(change.entries); break;
    case Change::Kind::SetAsideAndReplace:
        error = file_.SetAside();
        if (error.empty())
            error = file_.Replace(change.entries);
        break;
    case Change::Kind::Delete: error = file_.Delete(); break;
    }
    if (!error.empty() && !reportedFailure_) {
        reportedFailure_ = true;
        if (report_)
            report_("tape not saved, kept in memory only: " + error);
    }
}

} // namespace tallyvox
