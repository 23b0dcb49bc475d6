#include "persist/modlist.h"

#include "filefaults.h"
#include "persist/atomicfile.h"
#include "persist_test_files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PortListFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString folder() const { return m_dir.path(); }
  QString portsPath() const { return m_dir.filePath(QStringLiteral("ports.dat")); }

  std::vector<PortRow> load(const QByteArray& fileBytes) {
    EXPECT_TRUE(writeBytes(portsPath(), fileBytes));
    PortRows rows;
    LoadPortList(rows, portsPath());
    return rows.rows;
  }

  QTemporaryDir m_dir;
};

using PortListLoad = PortListFileTest;
using PortListSave = PortListFileTest;

const std::vector<PortRow> kSampleRows = {{"80", "TCP"}, {"27015", "UDP"}, {"080", "TCP"},
                                          {"80", "TCP"}, {"80", "UDP"},    {"3074", "UDP"}};

TEST_F(PortListSave, WritesOneCrLfLinePerRowInListOrder) {
  ASSERT_TRUE(SavePortList(PortRows({{"80", "TCP"}, {"27015", "UDP"}, {"443", ""}}), portsPath()));
  EXPECT_EQ(readBytes(portsPath()), QByteArray("80,TCP\r\n27015,UDP\r\n443,\r\n"));
  EXPECT_EQ(folderEntries(folder()), QStringList{"ports.dat"});
}

TEST_F(PortListSave, SavedListLoadsBackIdenticalWithDuplicates) {
  ASSERT_TRUE(SavePortList(PortRows(kSampleRows), portsPath()));
  PortRows loaded;
  EXPECT_EQ(LoadPortList(loaded, portsPath()), 6);
  EXPECT_EQ(loaded.rows, kSampleRows);
}

TEST_F(PortListSave, EmptyListWritesEmptyFile) {
  ASSERT_TRUE(SavePortList(PortRows(kSampleRows), portsPath()));
  ASSERT_TRUE(SavePortList(PortRows(), portsPath()));
  EXPECT_EQ(readBytes(portsPath()), QByteArray());
}

TEST_F(PortListSave, RemovingARowRewritesTheRestInOrder) {
  ASSERT_TRUE(SavePortList(PortRows(kSampleRows), portsPath()));
  PortRows rows;
  LoadPortList(rows, portsPath());
  rows.rows.erase(rows.rows.begin() + 1);
  ASSERT_TRUE(SavePortList(rows, portsPath()));
  EXPECT_EQ(readBytes(portsPath()),
            QByteArray("80,TCP\r\n080,TCP\r\n80,TCP\r\n80,UDP\r\n3074,UDP\r\n"));
}

TEST_F(PortListSave, NonAsciiTextSurvivesTheRoundTrip) {
  const std::vector<PortRow> rows = {{QString::fromUtf8("８０"), QString::fromUtf8("TCP—ü")}};
  ASSERT_TRUE(SavePortList(PortRows(rows), portsPath()));
  PortRows loaded;
  LoadPortList(loaded, portsPath());
  EXPECT_EQ(loaded.rows, rows);
}

TEST_F(PortListSave, FolderThatRefusesNewFilesKeepsThePreviousList) {
  ASSERT_TRUE(SavePortList(PortRows(kSampleRows), portsPath()));
  const QByteArray before = readBytes(portsPath());
  {
    RefusedPath refused(folder(), RefusedPath::Kind::Folder);
    if (!refused.active())
      GTEST_SKIP() << "this system offers no way to make a folder refuse writes";
    EXPECT_FALSE(SavePortList(PortRows(std::vector<PortRow>{{"1", "TCP"}}), portsPath()));
  }
  EXPECT_EQ(readBytes(portsPath()), before);
  EXPECT_EQ(folderEntries(folder()), QStringList{"ports.dat"});
}

TEST_F(PortListSave, ListThatCannotBeReplacedKeepsThePreviousList) {
  ASSERT_TRUE(SavePortList(PortRows(kSampleRows), portsPath()));
  const QByteArray before = readBytes(portsPath());
  {
    // An immutable file cannot be renamed over, so the finished temporary
    // file is refused at the very last step.
    RefusedPath refused(portsPath(), RefusedPath::Kind::File);
    if (!refused.active()) GTEST_SKIP() << "this system cannot make a file immutable";
    EXPECT_FALSE(SavePortList(PortRows(std::vector<PortRow>{{"1", "TCP"}}), portsPath()));
  }
  EXPECT_EQ(readBytes(portsPath()), before);
  EXPECT_EQ(folderEntries(folder()), QStringList{"ports.dat"});
}

TEST_F(PortListSave, FailureAtAnyStepKeepsThePreviousList) {
  ASSERT_TRUE(SavePortList(PortRows(kSampleRows), portsPath()));
  const QByteArray before = readBytes(portsPath());
  for (const AtomicWriteStep failing : {AtomicWriteStep::CreateTemporary, AtomicWriteStep::Write,
                                        AtomicWriteStep::Sync, AtomicWriteStep::Rename}) {
    SCOPED_TRACE(static_cast<int>(failing));
    const QByteArray bytes = writePortList(PortRows(std::vector<PortRow>{{"1", "UDP"}}));
    const bool saved = writeFileAtomically(
        portsPath(), bytes, [failing](AtomicWriteStep step) { return step == failing; });
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(portsPath()), before);
    EXPECT_EQ(folderEntries(folder()), QStringList{"ports.dat"});
  }
}

TEST_F(PortListSave, MissingFolderIsAFailedSave) {
  EXPECT_FALSE(SavePortList(PortRows(kSampleRows), folder() + QStringLiteral("/gone/ports.dat")));
}

TEST_F(PortListLoad, ReadsEveryLineInFileOrder) {
  EXPECT_EQ(load("80,TCP\r\n27015,UDP\r\n80,TCP\r\n"),
            (std::vector<PortRow>{{"80", "TCP"}, {"27015", "UDP"}, {"80", "TCP"}}));
}

TEST_F(PortListLoad, ReadsALastLineWithoutLineEnd) {
  EXPECT_EQ(load("80,TCP\r\n443,UDP"), (std::vector<PortRow>{{"80", "TCP"}, {"443", "UDP"}}));
}

TEST_F(PortListLoad, SkipsBlankLines) {
  EXPECT_EQ(load("\r\n\r\n80,TCP\r\n\r\n\r\n443,UDP\r\n\r\n"),
            (std::vector<PortRow>{{"80", "TCP"}, {"443", "UDP"}}));
}

TEST_F(PortListLoad, EmptyFileOrBlankLinesGiveNoRows) {
  EXPECT_TRUE(load("").empty());
  EXPECT_TRUE(load("\r\n\r\n\n\r").empty());
}

TEST_F(PortListLoad, AcceptsLinesEditedWithOtherLineEnds) {
  EXPECT_EQ(load("80,TCP\n443,UDP\r21,TCP\r\n"),
            (std::vector<PortRow>{{"80", "TCP"}, {"443", "UDP"}, {"21", "TCP"}}));
}

TEST_F(PortListLoad, IgnoresAnEditorsByteOrderMark) {
  EXPECT_EQ(load("\xEF\xBB\xBF"
                 "80,TCP\r\n"),
            (std::vector<PortRow>{{"80", "TCP"}}));
}

TEST_F(PortListLoad, LineWithoutCommaGivesEmptyProtocol) {
  EXPECT_EQ(load("8080\r\n"), (std::vector<PortRow>{{"8080", ""}}));
}

TEST_F(PortListLoad, PiecesAfterTheSecondAreIgnored) {
  EXPECT_EQ(load("80,TCP,old note,more\r\n,UDP\r\n81,\r\n"),
            (std::vector<PortRow>{{"80", "TCP"}, {"", "UDP"}, {"81", ""}}));
}

TEST_F(PortListLoad, KeepsTextExactlyAsTyped) {
  EXPECT_EQ(load(" 80 , tcp \r\n"), (std::vector<PortRow>{{" 80 ", " tcp "}}));
}

TEST_F(PortListLoad, AppendsToRowsAlreadyInTheList) {
  ASSERT_TRUE(writeBytes(portsPath(), "443,UDP\r\n"));
  PortRows rows(std::vector<PortRow>{{"80", "TCP"}});
  EXPECT_EQ(LoadPortList(rows, portsPath()), 1);
  EXPECT_EQ(rows.rows, (std::vector<PortRow>{{"80", "TCP"}, {"443", "UDP"}}));
}

TEST_F(PortListLoad, MissingOrUnreadableFileAddsNothing) {
  PortRows rows;
  EXPECT_EQ(LoadPortList(rows, portsPath()), 0);
  EXPECT_EQ(LoadPortList(rows, folder()), 0);
  EXPECT_TRUE(rows.rows.empty());
}

}  // namespace
