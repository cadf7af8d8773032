// SPDX-License-Identifier: GPL-3.0-or-later
// The tape without a window: how entries read and sound, the line format
// (escapes, damage, CR LF, versions, size), and the file's writers (two at
// once, a failing disk, a damaged file kept aside).
#include "tape/Tape.h"
#include "tape/TapeFile.h"
#include "tape/TapeStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace tallyvox {
namespace {

using Kind = CalculationTerm::Kind;

CalculationTerm N(const char *text)
{
    return {Kind::Number, text};
}
CalculationTerm K(const char *token)
{
    return {Kind::Key, token};
}

TapeEntry Entry(std::vector<CalculationTerm> terms, const char *result, std::int64_t time = 1765000000)
{
    return {{std::move(terms), result}, time};
}

std::string ReadAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::filesystem::path &file, const std::string &text)
{
    std::ofstream(file, std::ios::binary) << text;
}

class TempFolder {
public:
    TempFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("tape-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++)))
    {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path &Path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

// ------------------------------------------------------------- entries

struct EntryRow {
    TapeEntry entry;
    const char *text;
    std::vector<std::string> cues;
    const char *name; // at position 3
};

TEST(TapeEntry, TextCuesAndAccessibleName)
{
    const EntryRow rows[] = {
        {Entry({N("12"), K("+"), N("3"), K("*"), N("2")}, "30"),
         "12 + 3 × 2 = 30",
         {"1", "拾", "2", "加", "3", "乘", "2", "等于", "3", "拾"},
         "第3条，12加3乘2等于30"},
        {Entry({K("sqrt"), N("2"), K("*"), N("3")}, "4.2426406871193"),
         "√2 × 3 = 4.2426406871193",
         {"开方", "2", "乘", "3", "等于", "4", "10", "2", "4", "2", "6", "4", "0", "6", "8", "7", "1", "1", "9", "3"},
         "第3条，开方2乘3等于4.2426406871193"},
        // A function written after its operand is heard after it too.
        {Entry({K("x^2"), K("sqrt"), N("-2.5")}, "错误！"),
         "(√-2.5)² = 错误！",
         {"开方", "负", "2", "10", "5", "平方", "等于", "错误"},
         "第3条，开方负2.5平方等于错误"},
        // Exp says nothing of its own; the tape says "E".
        {Entry({N("2"), K("Exp"), N("3")}, "2000"),
         "2 Exp 3 = 2000",
         {"2", "E", "3", "等于", "2", "仟"},
         "第3条，2科学计数3等于2000"},
        // Digits beyond the number words' 20 are read one by one.
        {Entry({N("123456789012345678901"), K("-"), N("1")}, "1.23456789012346E20"),
         "123456789012345678901 - 1 = 1.23456789012346E20",
         {"1", "2", "3", "4", "5", "6", "7",  "8", "9",    "0", "1",  "2", "3", "4", "5",
          "6", "7", "8", "9", "0", "1", "减", "1", "等于", "1", "10", "2", "3", "4", "5",
          "6", "7", "8", "9", "0", "1", "2",  "3", "4",    "6", "E",  "2", "0"},
         "第3条，123456789012345678901减1等于1.23456789012346E20"},
        {{ExpressionCalculation("2*(-3+sin(30))", "-5"), 0},
         "2 × (-3 + sin(30)) = -5",
         {"2", "乘", "负", "3", "加", "3", "拾", "等于", "负", "5"},
         "第3条，2乘(负3加sin(30))等于负5"},
        {{ExpressionCalculation("LOG10(1e3)/x2", ""), 0},
         "LOG10(1e3) ÷ x2 = 错误！",
         {"1", "E", "3", "除", "等于", "错误"},
         "第3条，LOG10(1e3)除x2等于错误"},
    };
    for (const EntryRow &row : rows) {
        EXPECT_EQ(EntryText(row.entry.calculation), row.text);
        EXPECT_EQ(EntryCues(row.entry.calculation), row.cues) << row.text;
        EXPECT_EQ(EntryAccessibleName(row.entry.calculation, 3), row.name);
    }
    EXPECT_EQ(PositionCues(12), (std::vector<std::string>{"第", "1", "拾", "2", "条"}));
}

TEST(Tape, KeepsTheNewestUpToItsCapacityAndItsReadingPlace)
{
    Tape tape(3);
    EXPECT_FALSE(tape.Back());
    for (int i = 1; i <= 5; ++i)
        tape.Add(Entry({N("1"), K("+"), N(std::to_string(i).c_str())}, std::to_string(i + 1).c_str()));
    ASSERT_EQ(tape.Size(), 3u);
    EXPECT_EQ(tape.At(0).calculation.result, "4");
    EXPECT_EQ(tape.Back(), 2u); // from none: the newest
    EXPECT_EQ(tape.Back(), 1u);
    EXPECT_EQ(tape.Back(), 0u);
    EXPECT_EQ(tape.Back(), 0u); // stops at the oldest
    EXPECT_EQ(tape.Next(), 1u);
    tape.Remove(1);
    EXPECT_FALSE(tape.Place()); // a change starts again from the end
    EXPECT_EQ(tape.At(1).calculation.result, "6");
    std::vector<TapeEntry> many(5, tape.At(0));
    many.back().calculation.result = "last";
    tape.Assign(many);
    EXPECT_EQ(tape.Size(), 3u);
    EXPECT_EQ(tape.At(2).calculation.result, "last");
}

// ------------------------------------------------------------- the format

TEST(TapeFormat, LinesComeBackAsTheyWent)
{
    const TapeEntry entries[] = {
        Entry({N("12"), K("+"), N("3")}, "15", 0),
        Entry({{Kind::Text, "tab\there\\ \r\nline"}, K("x^y"), N("2")}, "错误！", 4102444800),
        {ExpressionCalculation("中文(1)", "1"), 1},
    };
    for (const TapeEntry &entry : entries) {
        const std::string line = EncodeTapeLine(entry);
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_EQ(DecodeTapeLine(line), entry) << line;
        EXPECT_EQ(DecodeTapeLine(line + "\r"), entry) << "CR LF";
    }
    EXPECT_EQ(EncodeTapeLine(entries[0]), "0\t15\tn12\tk+\tn3");
}

struct ParseRow {
    const char *what;
    std::string text;
    TapeRead::Status status;
    std::size_t entries;
    std::size_t skipped;
};

TEST(TapeFormat, ReadsWhatItCanOfAnyFile)
{
    const std::string header = TapeHeaderLine() + "\n";
    const std::string good = "1\t3\tn1\tk+\tn2\n";
    const ParseRow rows[] = {
        {"empty", "", TapeRead::Status::Missing, 0, 0},
        {"header only", header, TapeRead::Status::Read, 0, 0},
        {"two entries", header + good + good, TapeRead::Status::Read, 2, 0},
        {"CR LF", "tallyvox-tape\t1\r\n1\t3\tn1\tk+\tn2\r\n\r\n", TapeRead::Status::Read, 1, 0},
        {"damaged lines",
         header + good + "x\t3\tn1\n" + "1\t3\n" + "1\t3\tq1\n" + "1\t3\tkbogus\n" + "1\t\tn1\n" + "1\t3\tn\\q\n" +
             "1\t3\tn\xff\n" + good,
         TapeRead::Status::Damaged, 2, 7},
        {"overlong line", header + "1\t3\tn" + std::string(kMaxTapeLineBytes, '1') + "\n" + good,
         TapeRead::Status::Damaged, 1, 1},
        {"truncated last line", header + good + "1\t3\tn1\tk+", TapeRead::Status::Damaged, 1, 1},
        {"later version", "tallyvox-tape\t2\n" + good, TapeRead::Status::Newer, 0, 0},
        {"foreign", "{\"history\": []}\n" + good, TapeRead::Status::Foreign, 0, 0},
        {"foreign binary", std::string("\x89PNG\r\n\x1a\n\0\0", 10), TapeRead::Status::Foreign, 0, 0},
        {"no version", "tallyvox-tape\tx\n" + good, TapeRead::Status::Foreign, 0, 0},
    };
    for (const ParseRow &row : rows) {
        const TapeRead read = ParseTapeText(row.text);
        EXPECT_EQ(read.status, row.status) << row.what;
        EXPECT_EQ(read.entries.size(), row.entries) << row.what;
        EXPECT_EQ(read.skipped, row.skipped) << row.what;
        EXPECT_EQ(read.problem.empty(), row.status == TapeRead::Status::Read || row.status == TapeRead::Status::Missing)
            << row.what;
    }
}

TEST(TapeFormat, OfAHugeFileOnlyTheEndIsRead)
{
    TempFolder folder;
    const auto file = folder.Path() / "tape.txt";
    std::string text = TapeHeaderLine() + "\n";
    const std::string line = EncodeTapeLine(Entry({N("1"), K("+"), N("1")}, "2")) + "\n";
    while (text.size() < kMaxTapeReadBytes + 1024 * 1024)
        text += line;
    text += EncodeTapeLine(Entry({N("1"), K("+"), N("2")}, "3")) + "\n";
    WriteAll(file, text);
    const TapeRead read = ReadTapeFile(file);
    EXPECT_EQ(read.status, TapeRead::Status::Damaged);
    ASSERT_FALSE(read.entries.empty());
    EXPECT_LT(read.entries.size() * line.size(), kMaxTapeReadBytes + line.size());
    EXPECT_EQ(read.entries.back().calculation.result, "3");
}

// ------------------------------------------------------------- the writers

TEST(TapeStore, DamagedFileIsKeptAsideAndItsEntriesWrittenAnew)
{
    TempFolder folder;
    const auto file = folder.Path() / "tape.txt";
    const std::string damaged = TapeHeaderLine() + "\n1\t3\tn1\tk+\tn2\nnonsense\n";
    WriteAll(file, damaged);
    std::vector<std::string> reports;
    {
        TapeStore store(file, [&](const std::string &r) { reports.push_back(r); });
        const TapeRead read = store.Load();
        EXPECT_EQ(read.entries.size(), 1u);
        store.Added(Entry({N("2"), K("*"), N("2")}, "4"));
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("1 damaged line skipped"), std::string::npos) << reports[0];
    const TapeRead again = ReadTapeFile(file);
    EXPECT_EQ(again.status, TapeRead::Status::Read);
    EXPECT_EQ(again.entries.size(), 2u);
    int aside = 0;
    for (const auto &item : std::filesystem::directory_iterator(folder.Path()))
        if (item.path().filename().string().starts_with("tape.txt.damaged-")) {
            EXPECT_EQ(ReadAll(item.path()), damaged);
            ++aside;
        }
    EXPECT_EQ(aside, 1);
}

TEST(TapeStore, ALaterVersionsFileIsNeverWritten)
{
    TempFolder folder;
    const auto file = folder.Path() / "tape.txt";
    const std::string newer = "tallyvox-tape\t9\nwhatever comes\n";
    WriteAll(file, newer);
    int reports = 0;
    {
        TapeStore store(file, [&](const std::string &) { ++reports; });
        EXPECT_EQ(store.Load().status, TapeRead::Status::Newer);
        store.Added(Entry({N("2"), K("*"), N("2")}, "4"));
        store.Cleared();
    }
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(ReadAll(file), newer);
}

// Two running copies: whole lines appended under the lock interleave, and a
// removal by one re-reads the file and keeps the other's entries.
TEST(TapeStore, TwoWritersLoseNothingOfEachOther)
{
    TempFolder folder;
    const auto file = folder.Path() / "tape.txt";
    constexpr int kEach = 200;
    {
        TapeStore a(file, nullptr), b(file, nullptr);
        std::thread first([&] {
            for (int i = 0; i < kEach; ++i)
                a.Added(Entry({N("1"), K("+"), N(std::to_string(i).c_str())}, "a"));
        });
        for (int i = 0; i < kEach; ++i)
            b.Added(Entry({N("2"), K("+"), N(std::to_string(i).c_str())}, "b"));
        first.join();
        a.Flush();
        b.Flush();
        a.Removed(Entry({N("1"), K("+"), N("0")}, "a"));
    }
    const TapeRead read = ReadTapeFile(file);
    EXPECT_EQ(read.status, TapeRead::Status::Read);
    EXPECT_EQ(read.entries.size(), 2u * kEach - 1);
}

TEST(TapeStore, TheFileIsTrimmedToTheCapacity)
{
    TempFolder folder;
    const auto file = folder.Path() / "tape.txt";
    {
        TapeStore store(file, nullptr, 10);
        for (int i = 0; i < 25; ++i)
            store.Added(Entry({N("1"), K("+"), N(std::to_string(i).c_str())}, "x"));
    }
    const TapeRead read = ReadTapeFile(file);
    EXPECT_LE(read.entries.size(), 20u);
    EXPECT_GE(read.entries.size(), 10u);
    EXPECT_EQ(read.entries.back().calculation.terms.back().text, "24");
}

// A folder that cannot be written (here: one whose name is taken by a file,
// which stops root too): the tape goes on in memory, said once; a failed
// rewrite leaves the old file as it was.
TEST(TapeStore, AnUnwritableFolderIsSaidOnceAndLosesNothing)
{
    TempFolder folder;
    WriteAll(folder.Path() / "taken", "not a folder");
    std::vector<std::string> reports;
    {
        TapeStore store(folder.Path() / "taken" / "tape.txt", [&](const std::string &r) { reports.push_back(r); });
        EXPECT_EQ(store.Load().status, TapeRead::Status::Unreadable);
        reports.clear(); // the load's own report
        for (int i = 0; i < 3; ++i)
            store.Added(Entry({N("1"), K("+"), N("1")}, "2"));
        store.Cleared();
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("kept in memory"), std::string::npos) << reports[0];

    const auto file = folder.Path() / "tape.txt";
    const std::string before = TapeHeaderLine() + "\n1\t3\tn1\tk+\tn2\n";
    WriteAll(file, before);
    if (::geteuid() != 0) {
        std::filesystem::permissions(folder.Path(),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_FALSE(TapeFile(file).Replace({}).empty());
        std::filesystem::permissions(folder.Path(), std::filesystem::perms::owner_all);
        EXPECT_EQ(ReadAll(file), before);
    }
}

TEST(TapeStore, KeepingOffDeletesTheFileAndWritesNoMore)
{
    TempFolder folder;
    const auto file = folder.Path() / "tape.txt";
    TapeStore store(file, nullptr);
    store.Added(Entry({N("1"), K("+"), N("1")}, "2"));
    store.StopKeeping();
    store.Added(Entry({N("1"), K("+"), N("2")}, "3"));
    store.Flush();
    EXPECT_FALSE(std::filesystem::exists(file));
    store.StartKeeping({Entry({N("1"), K("+"), N("1")}, "2")});
    store.Flush();
    EXPECT_EQ(ReadTapeFile(file).entries.size(), 1u);
}

} // namespace
} // namespace tallyvox
