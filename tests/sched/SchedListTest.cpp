#include "sched/SchedList.h"

#include "platform/Clock.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>
#include <sys/stat.h>

namespace vantle {
namespace {

using namespace test;

std::unique_ptr<TSchedule> Named(const std::string& name) {
    return test::EntryOf({.Name = name});
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EListError& error) {
        return error.Message();
    }
    return "no error";
}

// A list named after a file in a folder of its own; the file is not made.
class SchedListTest : public ::testing::Test {
protected:
    SchedListTest() { List.SetFileName(Path); }
    TTempDir Dir;
    std::string Path = Dir.File("s.ini");
    TSchedList List;
};

TEST_F(SchedListTest, OperationsKeepOrderModifiedAndSerialsAndRefuseABadIndex) {
    TSchedList nameless;
    EXPECT_THROW(nameless.Load(), ENoFileName);
    EXPECT_THROW(nameless.Save(), ENoFileName);
    EXPECT_EQ(List.Add(Named("a")), 0);
    EXPECT_EQ(List.Add(Named("c")), 1);
    {
        TSchedListLock held(List); // re-entrant: operations take it again
        List.Insert(1, Named("b"));
    }
    EXPECT_EQ(List.Items(1).Name, "b");
    EXPECT_TRUE(List.Modified());
    // A bad index is named with the last good one, which an empty list gives as -1.
    EXPECT_EQ(ErrorOf([&] { nameless.Insert(0, Named("x")); }),
              "Schedule List Index (0) Out of Range (0 to -1)");
    auto outOfRange = [](int index) {
        return "Schedule List Index (" + std::to_string(index) + ") Out of Range (0 to 2)";
    };
    EXPECT_EQ(ErrorOf([&] { List.Items(3); }), outOfRange(3));
    EXPECT_EQ(ErrorOf([&] { List.Items(-1); }), outOfRange(-1));
    EXPECT_EQ(ErrorOf([&] { List.Insert(3, Named("x")); }), outOfRange(3));
    EXPECT_EQ(ErrorOf([&] { List.Delete(3); }), outOfRange(3));
    EXPECT_EQ(ErrorOf([&] { List.Update(3, TSchedule{}); }), outOfRange(3));
    EXPECT_EQ(ErrorOf([&] { List.SerialOf(5); }), outOfRange(5));

    List.Save();
    EXPECT_FALSE(List.Modified());
    TSchedule same = List.Items(0);
    List.Update(0, same);
    EXPECT_FALSE(List.Modified()); // nothing differed
    same.Hours = "3";
    List.Update(0, same);
    EXPECT_TRUE(List.Modified());
    EXPECT_EQ(List.Items(0).Hours, "3");

    // Serials are never reused; an entry a reload brings back unchanged keeps its own.
    std::uint64_t a = List.SerialOf(0), b = List.SerialOf(1), c = List.SerialOf(2);
    List.Delete(0);
    EXPECT_EQ(List.IndexOfSerial(a), -1);
    EXPECT_EQ(List.IndexOfSerial(b), 0);
    List.Save();
    // Another program puts an entry first and changes "c": "b" moved, "c" is new.
    TSchedule fresh = *Named("new"), sameB = List.Items(0), changedC = List.Items(1);
    changedC.Hours = "7";
    WriteFile(List.FileName(), FormatScheduleFile({&fresh, &sameB, &changedC}));
    List.Load();
    EXPECT_EQ(ToMSecs(List.FileTime()), ToMSecs(LocalDateTimeOf(ReadFileStamp(Path)->Modified)));
    EXPECT_EQ(List.IndexOfSerial(b), 1);
    EXPECT_EQ(List.IndexOfSerial(c), -1);
    EXPECT_GT(List.SerialOf(0), c);
    EXPECT_GT(List.SerialOf(2), c);
}

TEST_F(SchedListTest, MissingFileLoadsEmptyAndIsLoadedOnceItAppearsOrIsReplaced) {
    List.Add(Named("a"));
    List.Load();
    EXPECT_EQ(List.Count(), 0);
    EXPECT_FALSE(List.Modified());
    EXPECT_FALSE(List.CheckFileChanged());
    WriteFile(Path, SectionText(0, "new"));
    EXPECT_TRUE(List.CheckFileChanged());
    EXPECT_EQ(List.Items(0).Name, "new");
    // Deleted under the loaded list: nothing to reload, and the next save brings it back.
    std::filesystem::remove(Path);
    EXPECT_FALSE(List.CheckFileChanged());
    List.Save();
    // Deleted and brought back as it was: the empty List must not stand for it.
    std::filesystem::rename(Path, Dir.File("aside"));
    List.Load();
    EXPECT_EQ(List.Count(), 0);
    std::filesystem::rename(Dir.File("aside"), Path);
    EXPECT_TRUE(List.CheckFileChanged());
    EXPECT_EQ(List.Count(), 1);
    // Replaced by an older copy: a change all the same.
    WriteFile(Dir.File("copy"), SectionText(0, "older"));
    std::filesystem::last_write_time(Dir.File("copy"), std::filesystem::last_write_time(Path) -
                                                           std::chrono::hours(7 * 24));
    std::filesystem::rename(Dir.File("copy"), Path);
    EXPECT_TRUE(List.CheckFileChanged());
    EXPECT_EQ(List.Items(0).Name, "older");
}

TEST_F(SchedListTest, FailedLoadKeepsEverything) {
    WriteFile(Path, SectionText(0, "a"));
    List.Load();
    TDateTime fileTime = List.FileTime();
    // A FIFO has a stamp but is no file to read; it must not hang the load either.
    std::filesystem::remove(Path);
    ASSERT_EQ(mkfifo(Path.c_str(), 0600), 0);
    EXPECT_THROW(List.CheckFileChanged(), EInOutError);
    List.Add(Named("b"));
    EXPECT_THROW(List.Load(), EInOutError);
    EXPECT_EQ(List.Count(), 2);
    EXPECT_TRUE(List.Modified());
    EXPECT_EQ(List.FileTime(), fileTime);
    // A file that is not a schedule fails the same way; its message is vantle-schedctl's
    // test, and the window's test asks before a save replaces it.
    std::filesystem::remove(Path);
    WriteFile(Path, "Name=x\nTime=* * * * *\n");
    EXPECT_THROW(List.Load(), ENotSchedule);
    EXPECT_EQ(List.Count(), 2);
}

// The bug of a file saved by the window with an entry appended by a Linux tool: the
// appended entry was read as part of the last one, and the next save deleted it.
TEST_F(SchedListTest, AnEntryAppendedWithLineFeedsSurvivesASave) {
    WriteFile(Path, SectionText(0, "saved") + "\r\n[Schedule 1]\nName=added\nTime=0 3 * * *\n"
                                              "Active=Yes\nComment=by hand\n");
    List.Load();
    ASSERT_EQ(List.Count(), 2);
    EXPECT_TRUE(List.MixedLineEnds());
    EXPECT_EQ(List.Items(1).Name, "added");
    List.Save();
    EXPECT_FALSE(List.MixedLineEnds());
    std::string saved = ReadFile(Path);
    EXPECT_NE(saved.find("\r\n[Schedule 1]\r\nName=added\r\nTime=0 3 * * *\r\nActive=Yes\r\n"),
              std::string::npos)
        << saved;
    TSchedList again;
    again.SetFileName(Path);
    again.Load();
    ASSERT_EQ(again.Count(), 2);
    EXPECT_EQ(again.Items(1).Comment, (std::vector<std::string>{"by hand"}));
}

// A value given line breaks (from the dialog, say) is kept as the save writes it, so
// what the list shows is what the file reads back as.
TEST_F(SchedListTest, LineBreaksInValuesAreKeptAsTheFileReadsThemBack) {
    // Set after reading: the reader itself never gives a value a line break.
    auto added = EntryOf({});
    added->Name = "a\nb";
    added->Parms = "x\r\ny";
    List.Add(std::move(added));
    auto inserted = EntryOf({});
    inserted->Name = "c\rd";
    List.Insert(0, std::move(inserted));
    TSchedule values = List.Items(1);
    values.Comment = {"one\ntwo"};
    List.Update(1, values);
    EXPECT_EQ(List.Items(0).Name, "c d");
    EXPECT_EQ(List.Items(1).Name, "a b");
    EXPECT_EQ(List.Items(1).Parms, "x y");
    EXPECT_EQ(List.Items(1).Comment, (std::vector<std::string>{"one", "two"}));
    List.Save();
    TSchedList again;
    again.SetFileName(Path);
    again.Load();
    ASSERT_EQ(again.Count(), 2);
    for (std::int32_t i = 0; i < 2; ++i)
        EXPECT_FALSE(EntriesDiffer(again.Items(i), List.Items(i))) << i;
}

TEST_F(SchedListTest, ChangeOnDiskDoesNotReplaceUnsavedEdits) {
    WriteFile(Path, SectionText(0, "a"));
    List.Load();
    List.Add(Named("mine"));
    WriteFile(Path, SectionText(0, "theirs") + SectionText(0, "a"));
    EXPECT_TRUE(List.FileChangedOnDisk());
    EXPECT_FALSE(List.CheckFileChanged());
    EXPECT_FALSE(List.CheckFileChanged()); // the same change counts once
    EXPECT_EQ(List.KeptChanges(), 1u);
    WriteFile(Path, SectionText(0, "theirs again"));
    EXPECT_FALSE(List.CheckFileChanged());
    EXPECT_EQ(List.KeptChanges(), 2u);
    List.Save(); // the user chose to overwrite; a change after it reloads as ever
    EXPECT_FALSE(List.FileChangedOnDisk());
}

// Stamps as a file system with a coarse or a distant clock shows them: the times are
// `modified()`, and neither inode nor size changes with a write.
void SetStamps(TSchedList& list, std::function<std::timespec()> modified) {
    list.SetStampReader([modified](const std::string& name) -> std::optional<TFileStamp> {
        auto stamp = ReadFileStamp(name);
        if (stamp) {
            stamp->Modified = stamp->Changed = modified();
            stamp->Size = stamp->Inode = 1;
        }
        return stamp;
    });
}

TEST_F(SchedListTest, SeesEveryWriteUnderAClockThatDoesNotTickAndNeverLosesOneBySave) {
    // A stamp in 2100 is fresh for a long while: only the remembered content can tell.
    SetStamps(List, [] { return std::timespec{4102444800, 0}; });
    WriteFile(Path, SectionText(0, "start"));
    List.Load();
    EXPECT_FALSE(List.CheckFileChanged());
    // Another program rewrites the file in place again and again.
    for (int edit = 0; edit < 20; ++edit) {
        std::string name = "edit" + std::to_string(edit % 10);
        WriteFile(Path, SectionText(0, name));
        ASSERT_TRUE(List.CheckFileChanged()) << "edit " << edit << " was not seen";
        ASSERT_EQ(List.Items(0).Name, name);
    }
    // A save remembers its own content: the next write is seen, the save itself is not.
    List.Add(Named("mine"));
    List.Save();
    EXPECT_FALSE(List.CheckFileChanged()); // its own save is no change
    WriteFile(Path, SectionText(0, "ten"));
    EXPECT_TRUE(List.CheckFileChanged());
    EXPECT_EQ(List.Items(0).Name, "ten");
}

TEST_F(SchedListTest, SeesAChangeWithinTheSecondOnAFileStampedByAClockBehindOurs) {
    // A file server whose clock is a minute behind: the stamp is never "fresh", so the
    // content is not remembered, and only the nanoseconds of the stamp tell.
    long nanoseconds = 100;
    SetStamps(List, [&] { return std::timespec{SystemClock().UtcNow().tv_sec - 60, nanoseconds}; });
    WriteFile(Path, SectionText(0, "one"));
    List.Load();
    WriteFile(Path, SectionText(0, "two"));
    nanoseconds = 200;
    EXPECT_TRUE(List.CheckFileChanged());
    EXPECT_EQ(List.Items(0).Name, "two");
}

// The one observer hears each change after it was made, and only real changes.
struct TNoticeCase {
    const char* Name;
    std::function<void(TSchedList&, const std::string& path)> Change;
    std::vector<TListChange> Heard;
};

class SchedListNoticeTest : public SchedListTest,
                            public ::testing::WithParamInterface<TNoticeCase> {};

TEST_P(SchedListNoticeTest, TellsWhatChanged) {
    WriteFile(Path, SectionText(0, "a") + SectionText(1, "b") + SectionText(2, "c"));
    List.Load();
    std::vector<TListChange> heard;
    std::vector<std::int32_t> counts;
    List.SetOnChange([&](const TListChange& change) {
        heard.push_back(change);
        counts.push_back(List.Count()); // the change is made when it is told
    });
    try {
        GetParam().Change(List, Path);
    } catch (const Exception&) {
    }
    EXPECT_EQ(heard, GetParam().Heard);
    EXPECT_TRUE(heard.empty() || counts.back() == List.Count());
}

using C = TListChange;
INSTANTIATE_TEST_SUITE_P(
    Changes, SchedListNoticeTest,
    ::testing::Values(
        TNoticeCase{"Add", [](TSchedList& l, auto&) { l.Add(Named("d")); }, {{C::Inserted, 3}}},
        TNoticeCase{
            "Insert", [](TSchedList& l, auto&) { l.Insert(1, Named("x")); }, {{C::Inserted, 1}}},
        TNoticeCase{"Delete", [](TSchedList& l, auto&) { l.Delete(2); }, {{C::Removed, 2}}},
        TNoticeCase{"BadIndex", [](TSchedList& l, auto&) { l.Delete(3); }, {}},
        TNoticeCase{"Update",
                    [](TSchedList& l, auto&) {
                        TSchedule values = l.Items(1);
                        values.Hours = "4";
                        l.Update(1, values);
                    },
                    {{C::Updated, 1}}},
        TNoticeCase{"UpdateToTheSame", [](TSchedList& l, auto&) { l.Update(0, l.Items(0)); }, {}},
        TNoticeCase{"Load", [](TSchedList& l, auto&) { l.Load(); }, {{C::Reloaded, -1}}},
        TNoticeCase{"LoadOfNoFile",
                    [](TSchedList& l, const std::string& path) {
                        std::filesystem::remove(path);
                        l.Load();
                    },
                    {{C::Reloaded, -1}}},
        TNoticeCase{"FailedLoad",
                    [](TSchedList& l, const std::string& path) {
                        WriteFile(path, "no section");
                        l.Load();
                    },
                    {}},
        // The scheduler's cycle reloads through the check.
        TNoticeCase{"CheckThatReloads",
                    [](TSchedList& l, const std::string& path) {
                        WriteFile(path, SectionText(0, "z"));
                        std::filesystem::last_write_time(
                            path, std::filesystem::last_write_time(path) - std::chrono::hours(1));
                        l.CheckFileChanged();
                    },
                    {{C::Reloaded, -1}}},
        TNoticeCase{"CheckWithoutChange", [](TSchedList& l, auto&) { l.CheckFileChanged(); }, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vantle
