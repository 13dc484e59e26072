// A full table of points that the program wrote reads back in every file
// type and object kind.

#include "format_test_util.h"
#include "formats/mif.h"
#include "formats/ovl_ascii.h"
#include "formats/ovl_binary.h"
#include "tests/support/scripted_platform.h"

namespace {

class FullTableTest : public FormatTest {
  protected:
    ScriptedPlatform ui;
};

TEST_F(FullTableTest, WrittenFilesOfAFullTableReadBack) {
    for (FileKind fileKind : {MapInfoMif, OvlAscii, OvlBinary})
        for (int objectKind : {PointObjects, LineObjects}) {
            SCOPED_TRACE("file kind " + std::to_string(static_cast<int>(fileKind)) + ", object kind " +
                         std::to_string(objectKind));
            pointTable.reset();
            for (int i = 0; i < kMaxPoints; i++)
                pointTable.records[pointTable.count++] = makePoint(7.0 + i * 1e-5, 50.0, i % 1000 == 0);
            countLinePoints(objectKind);
            const std::string name = dir.file(fileKind == MapInfoMif ? "full.mif" : "full.ovl");
            int written = 0, read = 0;
            bool numbers = false, names = false;
            int separate = 0, kindFound = 0;
            ui.clearEvents();
            switch (fileKind) {
            case MapInfoMif:
                written = writeMifFile(name.c_str(), objectKind);
                read = readMifFile(name.c_str(), 6, numbers, names);
                break;
            case OvlAscii:
                written = writeOvlAsciiFile(name.c_str(), objectKind);
                read = readOvlAsciiFile(name.c_str(), 6, separate, false);
                break;
            default:
                written = writeOvlBinaryFile(name.c_str(), objectKind);
                read = readOvlBinaryFile(name.c_str(), 6, kindFound, numbers, names);
            }
            ASSERT_EQ(written, 1);
            EXPECT_EQ(read, 1);
            EXPECT_EQ(ui.boxTexts(), std::vector<std::string>{});
            EXPECT_EQ(pointTable.count, kMaxPoints);
            EXPECT_DOUBLE_EQ(pointTable.records[kMaxPoints - 1].Longitude, 7.0 + (kMaxPoints - 1) * 1e-5);
        }
}

}  // namespace
