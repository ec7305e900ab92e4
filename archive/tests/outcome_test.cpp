// Status bar texts, filter patterns, selection lists, the outcome table and the
// per-file error reports.

#include <gtest/gtest.h>

#include "archive/commands/FilterPatterns.h"
#include "archive/commands/OutcomeMessages.h"
#include "archive/commands/SelectionLists.h"
#include "archive/commands/StatusTexts.h"
#include "platform/testing/ScriptedPrompts.h"

namespace quarva::archive {
namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

TEST(StatusTexts, SizeTextBoundaries) {
    EXPECT_EQ(sizeText(0), "0 bytes");
    EXPECT_EQ(sizeText(1024), "1024 bytes");
    EXPECT_EQ(sizeText(1025), "1KB");
    EXPECT_EQ(sizeText(1048576), "1024KB");
    EXPECT_EQ(sizeText(1048577), "1,024 KB");
    EXPECT_EQ(sizeText(5ull * 1024 * 1024 * 1024), "5,242,880 KB");  // beyond 32 bits
}

TEST(StatusTexts, GroupedNumbers) {
    EXPECT_EQ(groupedNumber(0), "0");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(1000), "1,000");
    EXPECT_EQ(groupedNumber(1200000), "1,200,000");
    EXPECT_EQ(groupedNumber(123456789012ull), "123,456,789,012");
}

TEST(StatusTexts, Panes) {
    EXPECT_EQ(totalsText(3, 2048), "Total 3 Files,2KB ");
    EXPECT_EQ(totalsText(0, 0), "Total 0 Files,0 bytes ");
    EXPECT_EQ(selectedText(2), "Selected 2 Object(s)");
}

TEST(FilterPatterns, SplitAtBlanksAndMatchCaseSensitively) {
    auto p = splitFilterPatterns("  *.txt   *.doc\t");
    EXPECT_EQ(p, (std::vector<std::string>{"*.txt", "*.doc"}));
    EXPECT_TRUE(splitFilterPatterns("   ").empty());
    EXPECT_TRUE(matchesFilter(p, "a.txt"));
    EXPECT_TRUE(matchesFilter(p, "docs\\b.txt"));
    EXPECT_FALSE(matchesFilter(p, "c.TXT"));
    EXPECT_FALSE(matchesFilter(p, "c.xls"));
    EXPECT_TRUE(matchesFilter({"r?port.*"}, "data\\report.doc"));
    // The box's entry for every file also takes names without an extension.
    EXPECT_TRUE(matchesFilter({"*.*"}, "README"));
}

TEST(SelectionLists, FilesWithFoldersAndFoldersUnderTheTreePath) {
    std::vector<SelectedItem> sel = {{false, "a.txt", "docs\\sub"}, {false, "root.txt", ""}, {true, "pics", ""}};
    auto lists = buildSelectionLists(sel, "docs\\sub\\");
    EXPECT_EQ(lists.files, (std::vector<std::string>{"docs\\sub\\a.txt", "root.txt"}));
    EXPECT_EQ(lists.folders, (std::vector<std::string>{"docs\\sub\\pics"}));
    auto none = buildSelectionLists({}, "x\\");
    EXPECT_TRUE(none.files.empty());
    EXPECT_TRUE(none.folders.empty());
    auto classic = buildSelectionLists({{true, "f", ""}}, "");
    EXPECT_EQ(classic.folders, (std::vector<std::string>{"f"}));
}

TEST(Outcome, TableTexts) {
    const std::pair<OutcomeCode, const char*> table[] = {
        {OutcomeCode::ArchiveNotFound, "Archive Not Found"},
        {OutcomeCode::ZeroLength, "Archive file corrupted/zero byte length!"},
        {OutcomeCode::UnexpectedEof, "Unexpected End of File.Corrupt Archive"},
        {OutcomeCode::UserAborted, "User Aborted"},
        {OutcomeCode::CouldNotTest, "Couldn't test any files"},
        {OutcomeCode::NothingTested, "Couldn't test any files"},
        {OutcomeCode::RemovesParentFolder, "Couldn't continue. Continuing will remove the parent directory also..."},
        {OutcomeCode::DuplicateNames,
         "Two or more files with same name were tried to add to archive\nCheck 'save full path info' box."},
        {OutcomeCode::Corrupt,
         "Couldn't continue. File may be corrupt\nIf you downloaded the file, try downloading it again"},
        {OutcomeCode::LibraryNotLoaded, "Couldn't find one of the components or a dll\n\tAborting Operation"},
        {OutcomeCode::LibraryNoEntryPoint, "Corrupt version of DLL found\n\tAborting Operation"},
    };
    for (const auto& [outcome, text] : table) EXPECT_EQ(outcomeMessage(code(outcome)), text) << code(outcome);
    // The numbers are the ones the engine and the library report.
    EXPECT_EQ(code(OutcomeCode::UserAborted), 190);
    EXPECT_EQ(code(OutcomeCode::LibraryNotLoaded), 1000);
    EXPECT_EQ(code(OutcomeCode::LibraryNoEntryPoint), 1010);
    EXPECT_EQ(code(OutcomeCode::ListingError), 1100);
    EXPECT_EQ(outcomeMessage(code(OutcomeCode::ListingError)), std::nullopt);
    EXPECT_EQ(outcomeMessage(0x10000 + 100), std::nullopt);  // wider than a status
}

struct ReporterTest : ::testing::Test {
    platform::testing::ScriptedPrompts prompts;
    std::vector<std::string> events;
    COutcomeReporter reporter{prompts,
                              [this] { events.push_back("refresh:" + std::to_string(prompts.boxes().size())); },
                              [this] { events.push_back("log"); }};
};

TEST_F(ReporterTest, ZeroAnd170AreSilent) {
    reporter.reportOutcome(0, true);
    reporter.reportOutcome(170, false);
    EXPECT_TRUE(prompts.boxes().empty());
    EXPECT_TRUE(events.empty());
}

TEST_F(ReporterTest, OfferingTheLogAsksYesNoWithStopIcon) {
    prompts.queue(Answer::Yes);
    reporter.reportOutcome(150, true);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    auto box = prompts.boxes()[0];
    EXPECT_EQ(box.text, "Disk out of Space\nDo you want to see the log file ?");
    EXPECT_EQ(box.caption, "Quarva.Zip Suite");
    EXPECT_EQ(box.buttons, Buttons::YesNo);
    EXPECT_EQ(box.icon, Icon::Stop);
    EXPECT_EQ(events, (std::vector<std::string>{"log"}));

    prompts.queue(Answer::No);
    reporter.reportOutcome(150, true);
    EXPECT_EQ(events.size(), 1u);  // declining changes nothing
}

TEST_F(ReporterTest, WithoutTheOfferAPlainErrorBox) {
    reporter.reportOutcome(100, false);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    auto box = prompts.boxes()[0];
    EXPECT_EQ(box.text, "Archive Not Found");
    EXPECT_EQ(box.buttons, Buttons::Ok);
    EXPECT_EQ(box.icon, Icon::Stop);
    EXPECT_EQ(box.caption, "Quarva.Zip Suite");
    EXPECT_TRUE(events.empty());
}

TEST_F(ReporterTest, Code400RefreshesBeforeTheBox) {
    prompts.queue(Answer::No);
    reporter.reportOutcome(400, true);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "refresh:0");  // no box had been shown when the refresh ran
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text,
              "Couldn't access the file. The file may be read only\nDo you want to see the log file ?");
}

TEST(FileErrors, TextsPerOperationKind) {
    FileErrorReport r{"listed.txt", "file.txt", "bad data", ""};
    EXPECT_EQ(fileErrorText(OperationKind::Extract, r), "Error Extracting file file.txt\r\nCause : bad data");
    EXPECT_EQ(fileErrorText(OperationKind::Add, r), "Error Adding file file.txt\r\nCause : bad data");
    EXPECT_EQ(fileErrorText(OperationKind::List, r), "Error Listing file listed.txt\r\nCause : bad data");
    EXPECT_EQ(fileErrorText(OperationKind::Delete, r), "Error Deleting file file.txt\n\tCause : bad data");
    EXPECT_EQ(fileErrorText(OperationKind::Test, r), "");
    r.details = "more";
    EXPECT_EQ(fileErrorText(OperationKind::Delete, r),
              "Error Deleting file file.txt\n\tCause : bad data\r\nDetails : more");
    EXPECT_EQ(fileErrorText(OperationKind::Extract, r),
              "Error Extracting file file.txt\r\nCause : bad data\r\nDetails : more");
}

}  // namespace
}  // namespace quarva::archive
