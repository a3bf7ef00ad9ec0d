#include "FirmwareNames.h"

#include <gtest/gtest.h>

using qb480::NamesForPickedFile;

TEST(FirmwareNames, HexFileBesideThePickedOneUnderItsTitle)
{
    const auto names = NamesForPickedFile("C:\\firmware\\fw.hex");
    EXPECT_EQ(names.title, "fw");
    EXPECT_EQ(names.hexPath, "C:\\firmware\\fw.hex");
    EXPECT_EQ(names.imageName, "fw.bin");
}

TEST(FirmwareNames, AnyExtensionLeadsToTheHexFile)
{
    EXPECT_EQ(NamesForPickedFile("C:\\fw\\qb480.txt").hexPath, "C:\\fw\\qb480.hex");
    const auto dotted = NamesForPickedFile("D:\\a.b\\rel.2.1.hex");
    EXPECT_EQ(dotted.title, "rel.2.1");
    EXPECT_EQ(dotted.hexPath, "D:\\a.b\\rel.2.1.hex");
    EXPECT_EQ(dotted.imageName, "rel.2.1.bin");
    const auto bare = NamesForPickedFile("C:\\fw\\README");
    EXPECT_EQ(bare.title, "README");
    EXPECT_EQ(bare.hexPath, "C:\\fw\\README.hex");
}

TEST(FirmwareNames, CancelledDialogGivesAnEmptyTitle)
{
    const auto names = NamesForPickedFile("");
    EXPECT_EQ(names.title, "");
    EXPECT_EQ(names.hexPath, ".hex");  // relative: the current directory
    EXPECT_EQ(names.imageName, ".bin");
}

TEST(FirmwareNames, NameWithoutFolderStaysRelative)
{
    EXPECT_EQ(NamesForPickedFile("fw.hex").hexPath, "fw.hex");
    EXPECT_EQ(NamesForPickedFile("C:fw.hex").title, "C:fw");
}

TEST(FirmwareNames, FileGivenOnTheCommandLineIsOpenedAsGiven)
{
    const auto names = qb480::NamesForGivenFile("..\\fw v2\\qb480.2.1.txt");
    EXPECT_EQ(names.title, "qb480.2.1");
    EXPECT_EQ(names.hexPath, "..\\fw v2\\qb480.2.1.txt");
    EXPECT_EQ(names.imageName, "qb480.2.1.bin");
    EXPECT_EQ(qb480::NamesForGivenFile("/firmware/FW").imageName, "FW.bin");
}
