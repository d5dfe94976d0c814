// The host type list without a display: the exact bytes of t_config.cnfg, adding, renaming and
// deleting types with their picture files, refused names, and the shipped list.
#include "core/HostTypes.h"
#include "grid/GxGrid.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class HostTypesTest : public ::testing::Test {
protected:
    void SetUp() override { CreateHostTypeColumns(Types); }
    QString Folder() const { return QString::fromStdString(Dir.path()); }
    QString File(const QString& Name) const { return Folder() + "/" + Name; }
    std::string Bytes(const QString& Name) const { return zt::test::ReadFile(File(Name).toStdString()); }
    // A picture writer that writes Text as the picture's bytes.
    THostTypePictureWriter Writes(const std::string& Text) {
        return [Text](const QString& FileName) {
            zt::test::WriteFile(FileName.toStdString(), Text);
            return true;
        };
    }
    QStringList Files() const { return QDir(Folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    zt::test::TempDir Dir;
    TDataGrid Types;
};

std::string Utf16(const std::string& Ascii) {
    std::string out = "\xff\xfe";
    for (char c : Ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

} // namespace

TEST_F(HostTypesTest, FileIsUtf16WithCommasAndCrLfAndRoundTrips) {
    ASSERT_EQ(AddHostType(Types, Folder(), "Server", {}), "");
    ASSERT_EQ(AddHostType(Types, Folder(), "Core router", {}), "");
    EXPECT_EQ(
        Bytes("t_config.cnfg"),
        Utf16("1,Server,0,Data\\Types\\Server.bmp\r\n2,Core router,1,Data\\Types\\Core router.bmp\r\n"));
    TDataGrid loaded;
    CreateHostTypeColumns(loaded);
    ASSERT_TRUE(LoadHostTypeFile(loaded, Folder()));
    EXPECT_EQ(HostTypeNames(loaded), QStringList({"Server", "Core router"}));
    EXPECT_EQ(loaded.CellText(2, 1), "1");
    EXPECT_EQ(loaded.CellText(3, 1), "Data\\Types\\Core router.bmp");
    SaveHostTypeFile(loaded, Folder());
    EXPECT_EQ(
        Bytes("t_config.cnfg"),
        Utf16("1,Server,0,Data\\Types\\Server.bmp\r\n2,Core router,1,Data\\Types\\Core router.bmp\r\n"));
}

TEST_F(HostTypesTest, MissingFileLoadsNoRows) {
    Types.AddRow(1);
    EXPECT_FALSE(LoadHostTypeFile(Types, Folder()));
    EXPECT_EQ(Types.RowCount(), 0);
}

TEST_F(HostTypesTest, AddWritesThePictureAndACancelledPictureStillAddsTheRow) {
    EXPECT_EQ(AddHostType(Types, Folder(), "Server", Writes("server picture")), "");
    EXPECT_EQ(AddHostType(Types, Folder(), "Camera", {}), "");
    EXPECT_EQ(Types.RowCount(), 2);
    EXPECT_EQ(Bytes("Server.bmp"), "server picture");
    EXPECT_EQ(Files(), QStringList({"Server.bmp", "t_config.cnfg"}));
    // A picture that cannot be written: the row is added and the failure said.
    const QString said = AddHostType(Types, Folder(), "Lamp", [](const QString&) { return false; });
    EXPECT_EQ(said, "The picture of \"Lamp\" could not be saved.");
    EXPECT_EQ(Types.RowCount(), 3);
    EXPECT_EQ(Files(), QStringList({"Server.bmp", "t_config.cnfg"}));
}

TEST_F(HostTypesTest, RefusedNamesChangeNoRowAndNoFile) {
    ASSERT_EQ(AddHostType(Types, Folder(), "Server", Writes("s")), "");
    const QStringList before = Files();
    for (const QString& name : {QString("../x"), QString(""), QString(".hidden"), QString("a/b"),
                                QString("a\\b"), QString("tab\there"), QString("nul") + QChar(0)}) {
        EXPECT_FALSE(AddHostType(Types, Folder(), name, Writes("x")).isEmpty()) << name.toStdString();
        EXPECT_FALSE(EditHostType(Types, Folder(), 0, name, Writes("x")).isEmpty()) << name.toStdString();
    }
    EXPECT_FALSE(AddHostType(Types, Folder(), "server", {}).isEmpty());
    EXPECT_EQ(Types.RowCount(), 1);
    EXPECT_EQ(HostTypeNames(Types), QStringList({"Server"}));
    EXPECT_EQ(Files(), before);
    EXPECT_FALSE(QFile::exists(Folder() + "/../x.bmp"));
    EXPECT_EQ(AddHostType(Types, Folder(), "../x", {}),
              "\"../x\" cannot be a type name: it must not be empty, start with \".\", hold \"/\", \"\\\" or "
              "control characters, or repeat a type.");
}

TEST_F(HostTypesTest, RenameWithoutAPictureRenamesTheFileWithOneWritesTheNewFirst) {
    ASSERT_EQ(AddHostType(Types, Folder(), "Server", Writes("old picture")), "");
    EXPECT_EQ(EditHostType(Types, Folder(), 0, "Host", {}), "");
    EXPECT_EQ(Files(), QStringList({"Host.bmp", "t_config.cnfg"}));
    EXPECT_EQ(Bytes("Host.bmp"), "old picture");
    EXPECT_EQ(Types.CellText(3, 0), "Data\\Types\\Host.bmp");
    // A new picture that fails to write keeps the old picture and the old name.
    EXPECT_FALSE(EditHostType(Types, Folder(), 0, "Box", [](const QString&) { return false; }).isEmpty());
    EXPECT_EQ(Files(), QStringList({"Host.bmp", "t_config.cnfg"}));
    EXPECT_EQ(HostTypeNames(Types), QStringList({"Host"}));
    EXPECT_EQ(EditHostType(Types, Folder(), 0, "Box", Writes("new picture")), "");
    EXPECT_EQ(Files(), QStringList({"Box.bmp", "t_config.cnfg"}));
    EXPECT_EQ(Bytes("Box.bmp"), "new picture");
    // The same name with a new picture replaces it.
    EXPECT_EQ(EditHostType(Types, Folder(), 0, "Box", Writes("third")), "");
    EXPECT_EQ(Bytes("Box.bmp"), "third");
}

TEST_F(HostTypesTest, DeleteRemovesRowAndPictureAndRenumbers) {
    for (const char* name : {"A", "B", "C"})
        ASSERT_EQ(AddHostType(Types, Folder(), name, Writes(name)), "");
    EXPECT_EQ(DeleteHostType(Types, Folder(), 0), "");
    EXPECT_EQ(HostTypeNames(Types), QStringList({"B", "C"}));
    EXPECT_EQ(Files(), QStringList({"B.bmp", "C.bmp", "t_config.cnfg"}));
    EXPECT_EQ(Bytes("t_config.cnfg"), Utf16("1,B,0,Data\\Types\\B.bmp\r\n2,C,1,Data\\Types\\C.bmp\r\n"));
    EXPECT_FALSE(DeleteHostType(Types, Folder(), 5).isEmpty());
}

TEST(HostTypePictureFile, ReadsBackslashesAndStaysInsideTheTypesFolder) {
    EXPECT_EQ(HostTypePictureFile("/d/Types", "Data\\Types\\Server.bmp"), "/d/Types/Server.bmp");
    EXPECT_EQ(HostTypePictureFile("/d/Types/", "Data/Types/Server.bmp"), "/d/Types/Server.bmp");
    EXPECT_EQ(HostTypePictureFile("/d/Types", "Data\\Types\\..\\..\\etc\\passwd"), "");
    EXPECT_EQ(HostTypePictureFile("/d/Types", "Data\\Types\\..bmp"), "");
    EXPECT_EQ(HostTypePictureFile("/d/Types", "Data\\Sounds\\siren.wav"), "");
    EXPECT_EQ(HostTypePictureFile("/d/Types", "/etc/passwd"), "");
    EXPECT_EQ(HostTypeStoredPath("Server"), "Data\\Types\\Server.bmp");
}

TEST(ShippedHostTypes, ListTheFiveTypesWithTheirPictures) {
    const QString folder = QStringLiteral(ZT_SOURCE_DIR) + "/Data/Types";
    TDataGrid types;
    CreateHostTypeColumns(types);
    ASSERT_TRUE(LoadHostTypeFile(types, folder));
    EXPECT_EQ(HostTypeNames(types), QStringList({"Server", "Router", "Switch", "Printer", "Workstation"}));
    for (int row = 0; row < types.RowCount(); ++row) {
        EXPECT_EQ(types.CellText(2, row), QString::number(row));
        const QString file = HostTypePictureFile(folder, types.CellText(3, row));
        EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
        // 24-bit BMP of 100 x 85: 54 header bytes and 85 rows of 300 bytes.
        EXPECT_EQ(QFile(file).size(), 54 + 85 * 300);
    }
}
