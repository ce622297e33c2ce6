// Inputs too big or too odd for the fuzzers' seed corpora, and every input a fuzzer
// ever crashed on: the reader takes them, and a save gives them back unchanged.
#include "sched/SchedFile.h"
#include "sched/Schedule.h"

#include <gtest/gtest.h>

#include <string>

using namespace vantle;

namespace {

struct TReaderCase {
    const char* Name;
    std::string Content;
    std::size_t Entries;
};

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

std::vector<TReaderCase> Cases() {
    return {
        {"HugeLine", "[Schedule 0]\r\nName=" + std::string(1 << 20, 'x') + "\r\n", 1},
        {"HugeCommentOfLoneLineFeeds",
         "[Schedule 0]\r\nComment=" + std::string(100000, '\n') + "\r\n", 1},
        {"TenThousandSections", Repeat("[Schedule 0]\r\nTime=* * * * *\r\nActive=Yes\r\n", 10000),
         10000},
        {"HeadersOnly", Repeat("[Schedule \r", 20000), 20000},
        {"NulBytes", std::string("[Schedule 0]\r\nName=a\0b\r\nTime=\0 * * * *\r\n", 35), 1},
        {"TimeWithManyBlanks", "[Schedule 0]\r\nTime=" + std::string(5000, ' ') + "\r\n", 1},
        {"EveryKeyAndEmptyComments",
         "[Schedule 0]\r\nName=n\r\nTime=1 2 3 4 5\r\nActive=Yes\r\nCommandType=0\r\nWinState=3\r\n"
         "Command=c\r\nParms=p\r\nWorkDir=w\r\nComment=\r\nComment= x \r\nComment=\r\n",
         1},
    };
}

std::vector<const TSchedule*> View(const std::vector<std::unique_ptr<TSchedule>>& entries) {
    std::vector<const TSchedule*> view;
    for (const auto& entry : entries)
        view.push_back(entry.get());
    return view;
}

} // namespace

class ReaderStressTest : public ::testing::TestWithParam<TReaderCase> {};

TEST_P(ReaderStressTest, SaveGivesTheReadEntriesBack) {
    const TReaderCase& input = GetParam();
    auto first = ParseScheduleFile(input.Content);
    ASSERT_EQ(first.size(), input.Entries);
    std::string text = FormatScheduleFile(View(first));
    auto second = ParseScheduleFile(text);
    ASSERT_EQ(second.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        ASSERT_FALSE(EntriesDiffer(*first[i], *second[i])) << "entry " << i;
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReaderStressTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TReaderCase>& info) {
                             return std::string(info.param.Name);
                         });
