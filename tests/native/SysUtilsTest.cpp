#include <gtest/gtest.h>

#include "framework/base/Classes.h"
#include "framework/base/SysUtils.h"

using namespace kaptor;

TEST(StrToInt, ReadsDecimalAndBothHexForms) {
    EXPECT_EQ(StrToInt("16"), 16);
    EXPECT_EQ(StrToInt("$10"), 16);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("0X1f"), 31);
    EXPECT_EQ(StrToInt("-3"), -3);
    EXPECT_EQ(StrToInt("  +7"), 7);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
}

TEST(StrToInt, RefusesWhatIsNoWholeNumber) {
    for (const char* bad : {"", " ", "abc", "1.5", "12a", "2147483648", "-2147483649", "$", "0x",
                            "$100000000", "- 1", "1 "}) {
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
        EXPECT_EQ(StrToIntDef(bad, 42), 42) << bad;
    }
}

TEST(StrToInt, ErrorCarriesTheTextItCouldNotRead) {
    try {
        StrToInt("1,5");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, Format(texts::InvalidInteger, "1,5"));
    }
}

TEST(FileNames, SplitWindowsPaths) {
    EXPECT_EQ(ExtractFilePath("C:\\Tools\\Kaptor32.exe"), "C:\\Tools\\");
    EXPECT_EQ(ExtractFileName("C:\\Tools\\Kaptor32.exe"), "Kaptor32.exe");
    EXPECT_EQ(ExtractFileExt("C:\\a.b\\shot.BMP"), ".BMP");
    EXPECT_EQ(ExtractFileExt("C:\\a.b\\noext"), "");
    EXPECT_EQ(ChangeFileExt("C:\\a.b\\shot", ".jpg"), "C:\\a.b\\shot.jpg");
    EXPECT_EQ(ChangeFileExt("shot.bmp", ".jpg"), "shot.jpg");
}

TEST(FileNames, ShiftJisTrailByteIsNoSeparator) {
    // 0x83 0x5C is a katakana whose trail byte equals the backslash.
    const std::string dir = "C:\\\x83\x5C\\";
    EXPECT_EQ(ExtractFilePath(dir + "x.bmp"), dir);
    EXPECT_EQ(ExtractFileName("C:\\a\\\x83\x5C"), "\x83\x5C");
}

TEST(ShiftJis, TruncateNeverSplitsACharacter) {
    const std::string text = "ab\x82\xa0\x82\xa2";  // two ASCII, two double-byte
    EXPECT_EQ(SjisTruncate(text, 3), "ab");
    EXPECT_EQ(SjisTruncate(text, 4), "ab\x82\xa0");
    EXPECT_EQ(SjisTruncate(text, 100), text);
    EXPECT_EQ(UpperCase("a\x82\x61z"), "A\x82\x61Z");  // trail byte 'a' untouched
}

TEST(Lists, BadIndexRaisesTheListError) {
    TList<int> list;
    list.Add(1);
    EXPECT_THROW(list[1], EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    try {
        list[5];
        ADD_FAILURE() << "no exception";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message, Format(texts::ListIndexError, 5));
    }
    TStringList strings;
    strings.Add("Alpha");
    EXPECT_EQ(strings.IndexOf("ALPHA"), 0);
    EXPECT_THROW(strings[1], EListError);
    EXPECT_THROW(strings.Insert(2, "x"), EListError);
}

TEST(Lists, TextSplitsOnAnyLineEnd) {
    TStringList s;
    s.SetText("a\r\nb\nc\rd");
    ASSERT_EQ(s.Count(), 4);
    EXPECT_EQ(s[3], "d");
    EXPECT_EQ(s.Text(), "a\r\nb\r\nc\r\nd\r\n");
}

TEST(Streams, ShortReadAndMissingFileRaise) {
    TMemoryStream m(std::vector<std::uint8_t>{1, 2, 3});
    std::uint8_t buf[4];
    EXPECT_THROW(m.ReadBuffer(buf, 4), EReadError);
    m.SetPosition(1);
    m.ReadBuffer(buf, 2);
    EXPECT_EQ(buf[1], 3);
    EXPECT_EQ(m.Size(), 3);
    EXPECT_THROW(TFileStream("/nonexistent/dir/file.bin", TFileMode::fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream("/nonexistent/dir/file.bin", TFileMode::fmCreate), EFCreateError);
}
