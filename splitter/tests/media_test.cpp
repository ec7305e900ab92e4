#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "SplitterTestSupport.h"
#include "splitter/MediaRoutines.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;
using quarva::testing::writeFile;

TEST(MediaRoutines, ErrorTable) {
    const std::pair<int, const char*> rows[] = {
        {15, "Invalid Drive...\n Retry with another disk"},
        {21, "Device not ready \n Press OK after inserting the disk"},
        {23, "Data Error..."},
        {25, "File Seek error"},
        {26, "Cannot understand disk format"},
        {29, "Cannot write to the disk...\n Retry with another disk"},
        {30, "Error reading file"},
        {31, "The device attached to the system is not functioning"},
        {32, "The file is being used by other process\n Press OK after completing that operation"},
        {33, "The process cannot access the file because \n another process has locked a portion of the file."},
        {57, "Network adapter error occured"},
        {111, "The file name is too long"},
        {112, "Disk Full"},
        {161, "Invalid path"},
        {1001, "Very deep recursion..\n Overflow of stack occured"},
        {1006, "The file is altered outside this application \n The file is now considered invalid"},
        {1117, "I/O device error occured"},
    };
    for (const auto& [code, text] : rows)
        EXPECT_EQ(windowsErrorMessage(code), std::optional<std::string>(text)) << code;
    for (int code : {0, 2, 3, 5, 19, 80, 183, 1000, 1118}) EXPECT_FALSE(windowsErrorMessage(code)) << code;
}

TEST(MediaRoutines, RetryTexts) {
    EXPECT_EQ(
        retryOnDriveText("/media/floppy", quarva::platform::DriveType::Removable),
        "Operations on drive /media/floppy removable media unsuccessful \n You can continue by clicking OK \n after "
        "inserting another disk for a write operation");
    EXPECT_EQ(retryOnDriveText("/data", quarva::platform::DriveType::Fixed),
              "Operations on drive /data fixed media (or Network drive) unsuccessful\n");
    EXPECT_EQ(retryOnDriveText("/net", quarva::platform::DriveType::Remote),
              "Operations on drive /net fixed media (or Network drive) unsuccessful\n");
}

TEST(MediaRoutines, CompactPath) {
    EXPECT_EQ(compactPath("/short", 23), "/short");
    std::string p = "/home/someone/videos/holiday/movie.avi";
    std::string c = compactPath(p, 23);
    EXPECT_EQ(c.size(), 23u);
    EXPECT_EQ(c, "/home/some.../movie.avi");
    EXPECT_LE(compactPath(p, 26).size(), 26u);
    EXPECT_LE(compactPath("/x/" + std::string(40, 'n'), 30).size(), 30u);
    EXPECT_EQ(compactPath("/x/" + std::string(40, 'n'), 10), "nnnnnnn...");
}

TEST_F(SplitterTest, FreeSpaceQuery) {
    EXPECT_TRUE(queryFreeSpace(out.string()).has_value());
    EXPECT_GT(*queryFreeSpace(out.string()), 0u);
    EXPECT_FALSE(queryFreeSpace((dir() / "missing" / "x").string()).has_value());
}

TEST_F(SplitterTest, InformationFileThatCannotBeCreatedOnAFixedDrive) {
    auto source = makeSource("f.bin", 3000000);
    fs::create_directory(out / "f.bin.sio");  // in the way of the information file
    auto dlg = makeDlg();
    prompts.queue(Answer::Cancel);
    split(*dlg, source, out);
    auto boxes = prompts.boxes();
    ASSERT_EQ(boxes.size(), 1u) << "code 5 has no message of its own";
    EXPECT_EQ(boxes[0].text, "Operations on drive " + out.string() + " fixed media (or Network drive) unsuccessful\n");
    EXPECT_EQ(boxes[0].caption, "Continue?");
    EXPECT_EQ(boxes[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(filesIn(out), std::vector<std::string>{"f.bin.sio"});
    EXPECT_TRUE(dlg->view().controlsEnabled);
}

TEST_F(SplitterTest, RetryOnARemovableDriveCarriesOnAfterOk) {
    auto source = makeSource("f.bin", 3000000);
    setenv("QUARVA_REMOVABLE_ROOTS", out.c_str(), 1);
    fs::create_directory(out / "f.bin.sio");
    auto dlg = makeDlg();
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.caption == "Continue?") fs::remove(out / "f.bin.sio");  // the user sorts the disk out
    };
    prompts.queue(Answer::Ok);
    split(*dlg, source, out);
    auto boxes = prompts.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Operations on drive " + out.string() +
                                 " removable media unsuccessful \n You can continue by clicking OK \n after inserting "
                                 "another disk for a write operation");
    EXPECT_EQ(boxes[1].text, texts::kCompleted);
    EXPECT_EQ(sizeOf(out / "f.bin.sio"), 268u);
}

TEST_F(SplitterTest, ChunkThatCannotBeCreatedShowsItsErrorThenTheRetryPrompt) {
    auto source = makeSource("c.bin", 3000);
    // Chunk 1's name is taken by a socket: opening it fails with "no such device".
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, "c.bin.1.spl");
    const fs::path cwd = fs::current_path();
    fs::current_path(out);  // a relative name keeps the socket's address short
    const int bound = bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fs::current_path(cwd);
    ASSERT_EQ(bound, 0) << std::strerror(errno);
    auto dlg = makeDlg(SizeChoice::Bytes, "1000");
    prompts.queue(Answer::Ok);  // the error message
    prompts.queue(Answer::Cancel);
    split(*dlg, source, out);
    close(sock);
    EXPECT_EQ(prompts.boxTexts(), (std::vector<std::string>{"Device not ready \n Press OK after inserting the disk",
                                                            "Operations on drive " + out.string() +
                                                                " fixed media (or Network drive) unsuccessful\n"}));
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    // The run was abandoned: no incomplete set stays, the socket does.
    EXPECT_EQ(filesIn(out), std::vector<std::string>{"c.bin.1.spl"});
}

TEST_F(SplitterTest, NamesThatCannotExistAreRefusedBeforeAnythingIsWritten) {
    // 250 characters: the information file's name fits, the chunks' names do not.
    auto source = makeSource(std::string(250, 'n'), 3000);
    auto dlg = makeDlg(SizeChoice::Bytes, "1000");
    split(*dlg, source, out);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"The file name is too long"});
    EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(SplitterTest, EraseRemovableDriveOnlyAtTheRootOfARemovableDrive) {
    fs::path floppy = dir() / "floppy";
    writeFile(floppy / "a.txt", "a");
    writeFile(floppy / "sub" / "b.txt", "b");
    writeFile(floppy / "sub" / "deeper" / "c.txt", "c");
    fs::path fixed = dir() / "fixed";
    writeFile(fixed / "keep.txt", "k");

    // Not removable: nothing happens.
    EXPECT_TRUE(eraseRemovableDrive(floppy.string()));
    EXPECT_TRUE(fs::exists(floppy / "a.txt"));

    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    // A folder below the root: nothing happens.
    EXPECT_TRUE(eraseRemovableDrive((floppy / "sub").string()));
    EXPECT_TRUE(fs::exists(floppy / "sub" / "b.txt"));
    EXPECT_TRUE(eraseRemovableDrive(fixed.string()));
    EXPECT_TRUE(fs::exists(fixed / "keep.txt"));

    EXPECT_TRUE(eraseRemovableDrive(floppy.string()));
    EXPECT_TRUE(fs::exists(floppy));
    EXPECT_TRUE(fs::is_empty(floppy));
}

TEST_F(SplitterTest, EraseOptionClearsTheDiskBeforeTheSplit) {
    fs::path floppy = dir() / "floppy";
    writeFile(floppy / "old" / "junk.bin", "junk");
    writeFile(floppy / "junk2", "junk");
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    auto source = makeSource("e.bin", 3000);
    auto dlg = makeDlg(SizeChoice::Bytes, "1000");
    dlg->settings().eraseBeforeSplit = true;
    split(*dlg, source, floppy);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(filesIn(floppy), (std::vector<std::string>{"e.bin.0.spl", "e.bin.1.spl", "e.bin.2.spl", "e.bin.sio"}));
}

TEST_F(SplitterTest, EraseOptionNeverErasesTheSource) {
    fs::path floppy = dir() / "floppy";
    writeFile(floppy / "other", "x");
    fs::create_directories(floppy);
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    fs::path source = floppy / "s.bin";
    writeFile(source, quarva::testing::randomBytes(3000, 3));
    auto dlg = makeDlg(SizeChoice::Bytes, "1000");
    dlg->settings().eraseBeforeSplit = true;
    split(*dlg, source, floppy);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kSourceOnErasedDisk});
    EXPECT_EQ(filesIn(floppy), (std::vector<std::string>{"other", "s.bin"}));
}
