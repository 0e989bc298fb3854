#include "download/hex_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/file_open.h"
#include "base/unique_fd.h"
#include "hex_test_support.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

using ByteList = std::vector<std::uint8_t>;

std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// A valid record whose checksum characters are replaced.
std::string WithChecksum(std::string line, const std::string& checksum) {
  return line.replace(line.size() - 2, 2, checksum);
}

// ---------------------------------------------------------------------------
// Field and record parsing

struct FieldCase {
  std::string text;
  std::size_t n;
  std::uint32_t value;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << '"' << c.text << "\", " << c.n; }

class HexFieldValueTest : public testing::TestWithParam<FieldCase> {};

TEST_P(HexFieldValueTest, ReadsDigitsMostSignificantFirst) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(HexFieldValue(c.text, c.n), c.value) << "text \"" << c.text << "\", n " << c.n;
}

INSTANTIATE_TEST_SUITE_P(Fields, HexFieldValueTest,
                         testing::Values(FieldCase{"", 0, 0}, FieldCase{"FF", 0, 0}, FieldCase{"AB", 2, 0xAB},
                                         FieldCase{"ab", 2, 0xAB}, FieldCase{"fE", 2, 0xFE}, FieldCase{"1G", 2, 0x10},
                                         FieldCase{"G1", 2, 0x01},
                                         FieldCase{"\x80"
                                                   "1",
                                                   2, 0x01},
                                         FieldCase{"\xC3\xA9", 2, 0x00}, FieldCase{" 9", 2, 0x09},
                                         FieldCase{"2000", 4, 0x2000}, FieldCase{"20001234", 4, 0x2000},
                                         FieldCase{"12345678", 8, 0x12345678},
                                         // Beyond 8 digits the value keeps its low 32 bits.
                                         FieldCase{"FFFFFFFFF", 9, 0xFFFFFFFF}, FieldCase{"123456789", 9, 0x23456789},
                                         // Characters the text does not hold count as the digit 0.
                                         FieldCase{"1", 2, 0x10}, FieldCase{"", 2, 0x00}, FieldCase{"12", 4, 0x1200},
                                         FieldCase{"12", 9, 0x20000000}, FieldCase{"1", 9, 0}));

TEST(ParseIntelHexRecord, ReadsFieldsAtTheirPositions) {
  IntelHexRecord record;
  record.data.fill(0xEE);
  ParseIntelHexRecord("0320100412345678", record);
  EXPECT_EQ(record.byteCount, 3);
  EXPECT_EQ(record.offset, 0x2010);
  EXPECT_EQ(record.recordType, 4);
  EXPECT_EQ(record.data[0], 0x12);
  EXPECT_EQ(record.data[1], 0x34);
  EXPECT_EQ(record.data[2], 0x56);
  EXPECT_EQ(record.checksum, 0x78);
  EXPECT_EQ(record.data[3], 0xEE) << "entries beyond byteCount keep what they held";
}

TEST(ParseIntelHexRecord, NeverReadsPastTheGivenText) {
  // The characters after the view are valid digits; a read past the view
  // would pick them up instead of the zero digits that stand for them.
  const std::string buffer =
      "02200000AB"
      "CDEF";
  IntelHexRecord record;
  ParseIntelHexRecord(std::string_view(buffer).substr(0, 10), record);
  EXPECT_EQ(record.byteCount, 2);
  EXPECT_EQ(record.data[0], 0xAB);
  EXPECT_EQ(record.data[1], 0x00);
  EXPECT_EQ(record.checksum, 0x00);

  ParseIntelHexRecord(std::string_view(buffer).substr(0, 9), record);
  EXPECT_EQ(record.data[0], 0xA0) << "half a byte reads with a zero low digit";
}

TEST(ParseSRecord, ReadsTypeCountAddressDataAndChecksum) {
  SRecord record;
  record.addressAndData.fill(0xEE);
  ParseSRecord("10520001020D7", record);
  EXPECT_EQ(record.recordType, 1);
  EXPECT_EQ(record.byteCount, 5);
  EXPECT_EQ(record.addressAndData[0], 0x20);
  EXPECT_EQ(record.addressAndData[1], 0x00);
  EXPECT_EQ(record.addressAndData[2], 0x10);
  EXPECT_EQ(record.addressAndData[3], 0x20);
  EXPECT_EQ(record.checksum, 0xD7);
  EXPECT_EQ(record.addressAndData[4], 0xEE);
}

TEST(ParseSRecord, TypeIsTheCharacterCodeLessTheDigitZero) {
  SRecord record;
  ParseSRecord("A00", record);
  EXPECT_EQ(record.recordType, 'A' - '0');
  ParseSRecord(" 00", record);
  EXPECT_EQ(record.recordType, static_cast<std::uint8_t>(' ' - '0'));
  ParseSRecord("", record);
  EXPECT_EQ(record.recordType, 0) << "a missing type character reads as '0'";
}

TEST(ParseSRecord, CountOfZeroOrOneReadsNoAddressBytes) {
  for (const char* text : {"100AB", "101AB"}) {
    SRecord record;
    record.addressAndData.fill(0xEE);
    ParseSRecord(text, record);
    EXPECT_EQ(record.addressAndData[0], 0xEE) << text;
    EXPECT_EQ(record.checksum, 0xAB) << text;
  }
}

// ---------------------------------------------------------------------------
// Loading files: content cases that must load with no message

struct LoadCase {
  std::string name;
  std::string content;
  std::uint32_t topAddress;
  std::vector<Placement> placements;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const testing::TestParamInfo<LoadCase>& info) { return info.param.name; }

class HexLoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(HexLoadTest, BuildsTheImage) {
  const LoadCase& c = GetParam();
  TempFolder folder;
  const std::string path = folder.Write("program.hex", c.content);
  RecordingSink sink;
  HexImage image;
  ASSERT_EQ(LoadHexFile(path, image, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  ASSERT_NE(image.bytes, nullptr);
  ASSERT_EQ(image.topAddress, c.topAddress);
  ASSERT_EQ(image.size(), std::size_t{c.topAddress} + 1);
  EXPECT_EQ(ImageBytes(image), ExpectedImage(c.topAddress, c.placements));

  // The file read through its window above, and read into memory as a
  // stream: both paths give the same image.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"), &std::fclose);
  ASSERT_NE(stream, nullptr);
  HexImage read;
  ASSERT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(c.content.size()), read, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(ImageBytes(read), ImageBytes(image));
}

INSTANTIATE_TEST_SUITE_P(
    IntelHex, HexLoadTest,
    testing::Values(
        LoadCase{"OnlyEndRecord", Lines({IntelEnd()}), 0xF, {}}, LoadCase{"EmptyFile", "", 0xF, {}},
        LoadCase{"OnlyEmptyLines", "\n\n\r\n\n", 0xF, {}},
        LoadCase{"SixteenBytesAt2000",
                 Lines({IntelData(0x2000, CountingBytes(0x10, 16)), IntelEnd()}),
                 0x200F,
                 {{0x2000, CountingBytes(0x10, 16)}}},
        LoadCase{"LastByteAt2010",
                 Lines({IntelData(0x2001, CountingBytes(1, 16))}),
                 0x201F,
                 {{0x2001, CountingBytes(1, 16)}}},
        LoadCase{"ExtendedLinearAddress",
                 Lines({IntelLinear(0x0001), IntelData(0x0010, {0xAB})}),
                 0x1001F,
                 {{0x10010, {0xAB}}}},
        LoadCase{"ExtendedSegmentAddress",
                 Lines({IntelSegment(0x1000), IntelData(0x0010, {0xAB})}),
                 0x1001F,
                 {{0x10010, {0xAB}}}},
        LoadCase{"SegmentDataDoesNotWrapAt64KiB",
                 Lines({IntelSegment(0x1000), IntelData(0xFFFF, {1, 2})}),
                 0x2000F,
                 {{0x1FFFF, {1, 2}}}},
        LoadCase{"LaterBaseReplacesEarlier",
                 Lines({IntelLinear(1), IntelSegment(0x10), IntelData(0, {5})}),
                 0x10F,
                 {{0x100, {5}}}},
        LoadCase{"DataAfterEndRecordIgnored",
                 Lines({IntelData(0, {1}), IntelEnd(), IntelData(0x2000, {2})}),
                 0xF,
                 {{0, {1}}}},
        LoadCase{"WrongChecksumPlaced", Lines({WithChecksum(IntelData(0x20, {0x55}), "00")}), 0x2F, {{0x20, {0x55}}}},
        LoadCase{"LowercaseDigits", Lines({":02abcd00a1b2ff"}), 0xABCF, {{0xABCD, {0xA1, 0xB2}}}},
        LoadCase{"LetterGReadsAsZero",
                 Lines({":1G200000" + std::string(32, '7') + "00"}),
                 0x200F,
                 {{0x2000, ByteList(16, 0x77)}}},
        LoadCase{"ZeroByteCountCountsForNothing", Lines({":00300000D0"}), 0xF, {}},
        LoadCase{"LaterLineWins",
                 Lines({IntelData(0x100, {1, 2, 3, 4}), IntelData(0x102, {9})}),
                 0x10F,
                 {{0x100, {1, 2, 9, 4}}}},
        LoadCase{"UnusedTypesSkipped",
                 Lines({IntelHexLine(3, 0, {0, 0, 0x20, 0}), IntelHexLine(5, 0, {0, 0, 0x20, 0}),
                        IntelHexLine(0x7F, 0x4000, {1}), IntelData(0x20, {7})}),
                 0x2F,
                 {{0x20, {7}}}},
        LoadCase{"NoEndRecord", Lines({IntelData(0x10, {1}), IntelData(0x20, {2})}), 0x2F, {{0x10, {1}}, {0x20, {2}}}},
        LoadCase{"CharactersAfterChecksumIgnored",
                 Lines({IntelData(0, {1}) + " 0203 " + IntelData(0x4000, {9})}),
                 0xF,
                 {{0, {1}}}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    SRecords, HexLoadTest,
    testing::Values(
        LoadCase{"S1SixteenBytesAt2000",
                 Lines({SRecordLine(0, 0, {'h', 'd', 'r'}), SRecordLine(1, 0x2000, CountingBytes(0x40, 16)),
                        SRecordLine(5, 1, {}), SRecordLine(9, 0, {})}),
                 0x200F,
                 {{0x2000, CountingBytes(0x40, 16)}}},
        LoadCase{
            "S1CountIs13", Lines({"S1132000" + std::string(32, 'A') + "00"}), 0x200F, {{0x2000, ByteList(16, 0xAA)}}},
        LoadCase{"S9EndsReading",
                 Lines({SRecordLine(1, 0, {1}), SRecordLine(9, 0, {}), SRecordLine(1, 0x2000, {2})}),
                 0xF,
                 {{0, {1}}}},
        LoadCase{"S8EndsReading",
                 Lines({SRecordLine(2, 0, {1}), SRecordLine(8, 0, {}), SRecordLine(2, 0x2000, {2})}),
                 0xF,
                 {{0, {1}}}},
        LoadCase{"S7EndsReading",
                 Lines({SRecordLine(3, 0, {1}), SRecordLine(7, 0, {}), SRecordLine(3, 0x2000, {2})}),
                 0xF,
                 {{0, {1}}}},
        LoadCase{"S2Address", Lines({SRecordLine(2, 0x12345, {1, 2})}), 0x1234F, {{0x12345, {1, 2}}}},
        LoadCase{"S3Address", Lines({SRecordLine(3, 0x00023456, {3, 4, 5})}), 0x2345F, {{0x23456, {3, 4, 5}}}},
        LoadCase{"HeaderAndCountTypesPassedOver",
                 Lines({SRecordLine(0, 0x6000, {'h'}), SRecordLine(4, 0x7000, {1}), SRecordLine(5, 0x5000, {}),
                        SRecordLine(6, 0x8000, {}), SRecordLine(1, 0x30, {6})}),
                 0x3F,
                 {{0x30, {6}}}},
        LoadCase{"OtherCharacterAfterS", Lines({"S", "Sx0520000102D7", "SA0520000102D7"}), 0xF, {}},
        LoadCase{"S1WithoutDataRaisesTopToAddressBefore", Lines({SRecordLine(1, 0x2010, {})}), 0x200F, {}},
        LoadCase{"S1WithoutDataOneAboveLine", Lines({SRecordLine(1, 0x2011, {})}), 0x201F, {}},
        LoadCase{"S2WithoutData", Lines({SRecordLine(2, 0x12345, {})}), 0x1234F, {}},
        // Its end would be the address before 0: below the image, so nothing.
        LoadCase{"S1WithoutDataAtZero", Lines({SRecordLine(1, 0, {})}), 0xF, {}},
        LoadCase{"LaterLineWins",
                 Lines({SRecordLine(3, 0x40, {1, 2, 3}), SRecordLine(1, 0x41, {8})}),
                 0x4F,
                 {{0x40, {1, 8, 3}}}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Mixed, HexLoadTest,
    testing::Values(LoadCase{"IntelBaseDoesNotMoveSRecords",
                             Lines({IntelLinear(1), SRecordLine(1, 0x20, {1}), IntelData(0x10, {2})}),
                             0x1001F,
                             {{0x20, {1}}, {0x10010, {2}}}},
                    LoadCase{"SEndRecordEndsIntelToo",
                             Lines({IntelData(0, {1}), SRecordLine(9, 0, {}), IntelData(0x40, {2})}),
                             0xF,
                             {{0, {1}}}},
                    LoadCase{"OtherFirstCharactersSkipped",
                             Lines({"; comment " + IntelData(0x4000, {9}), " " + IntelData(0x3000, {9}),
                                    "s113" + std::string(32, '0'), "#", "\t" + SRecordLine(1, 0x5000, {1}),
                                    IntelData(0x10, {2}), SRecordLine(1, 0x20, {3})}),
                             0x2F,
                             {{0x10, {2}}, {0x20, {3}}}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Lines, HexLoadTest,
    testing::Values(
        LoadCase{"CrLfLikeLf",
                 Lines({IntelLinear(1), IntelData(0x10, {1}), SRecordLine(1, 0x20, {2}), IntelEnd()}, "\r\n"),
                 0x1001F,
                 {{0x10010, {1}}, {0x20, {2}}}},
        LoadCase{"LastLineWithoutLineEnd",
                 IntelData(0x10, {1}) + "\n" + IntelData(0x20, {2}),
                 0x2F,
                 {{0x10, {1}}, {0x20, {2}}}},
        LoadCase{"LastLineWithoutLineEndAfterCrLf",
                 IntelData(0x10, {1}) + "\r\n" + IntelData(0x20, {2}),
                 0x2F,
                 {{0x10, {1}}, {0x20, {2}}}},
        // A CR that no LF follows is an ordinary character: it does not end
        // the line, and a line that starts with it is skipped.
        LoadCase{
            "LoneCrDoesNotEndLine", IntelData(0x10, {1}) + "\r" + IntelData(0x20, {2}) + "\n", 0x1F, {{0x10, {1}}}},
        LoadCase{"LineStartingWithCrSkipped",
                 IntelData(0x10, {1}) + "\n\r" + IntelData(0x20, {2}) + "\n",
                 0x1F,
                 {{0x10, {1}}}},
        LoadCase{"CrCrLf",
                 IntelData(0x10, {1}) + "\r\r\n" + IntelData(0x20, {2}) + "\r\r\n",
                 0x2F,
                 {{0x10, {1}}, {0x20, {2}}}},
        LoadCase{"CrAtEndOfFileStays", IntelData(0x10, {1}) + "\n\r", 0x1F, {{0x10, {1}}}},
        LoadCase{"CtrlZEndsFile", IntelData(0x10, {1}) + "\n\x1A" + IntelData(0x20, {2}) + "\n", 0x1F, {{0x10, {1}}}},
        LoadCase{"CtrlZEndsLastLine",
                 ":02001000AB\x1A"
                 "CD00\n" +
                     IntelData(0x20, {2}) + "\n",
                 0x1F,
                 {{0x10, {0xAB, 0x00}}}},
        LoadCase{"CrBeforeCtrlZStays", IntelData(0x10, {1}) + "\r\x1A\n" + IntelData(0x20, {2}), 0x1F, {{0x10, {1}}}},
        // The line ends at a zero byte; the rest of that read is lost, the
        // next line is read as usual.
        LoadCase{
            "ZeroByteEndsLine",
            IntelData(0x10, {1}) + std::string(1, '\0') + IntelData(0x20, {2}) + "\n" + IntelData(0x30, {3}) + "\n",
            0x3F,
            {{0x10, {1}}, {0x30, {3}}}},
        LoadCase{"LineStartingWithZeroByteSkipped",
                 std::string(1, '\0') + IntelData(0x20, {2}) + "\n" + IntelData(0x30, {3}),
                 0x3F,
                 {{0x30, {3}}}},
        // A line is read in pieces of 539 characters; each piece is a line.
        LoadCase{"PieceCutBeforeRecord", std::string(539, 'x') + IntelData(0x20, {5}) + "\n", 0x2F, {{0x20, {5}}}},
        LoadCase{"PieceCutAfterColon", std::string(538, 'x') + IntelData(0x20, {5}) + "\n", 0xF, {}},
        LoadCase{"PieceCutInsideComment", std::string(540, 'x') + IntelData(0x20, {5}) + "\n", 0xF, {}},
        LoadCase{"EveryPieceOfLongLineRead",
                 std::string(539, 'x') + IntelData(0x20, {5}) + std::string(539 - 13, 'y') + SRecordLine(1, 0x40, {6}) +
                     "\n" + IntelData(0x50, {7}),
                 0x5F,
                 {{0x20, {5}}, {0x40, {6}}, {0x50, {7}}}},
        LoadCase{"PieceEndingInLfIsWholeLine",
                 std::string(538, 'x') + "\n" + IntelData(0x20, {5}) + "\n",
                 0x2F,
                 {{0x20, {5}}}},
        // CR LF reads as LF before the line is cut: 538 characters and the LF
        // make one piece, so the record on the next line is read.
        LoadCase{"CrLfAtPieceEnd", std::string(538, 'x') + "\r\n" + IntelData(0x20, {5}) + "\r\n", 0x2F, {{0x20, {5}}}},
        LoadCase{"LoneCrAfterCutStartsNextPiece", std::string(539, 'x') + "\r" + IntelData(0x20, {5}) + "\n", 0xF, {}},
        // Longest well-formed records: 521 and 514 characters.
        LoadCase{"Intel255DataBytes",
                 Lines({IntelData(0x1000, CountingBytes(0, 255))}),
                 0x10FF,
                 {{0x1000, CountingBytes(0, 255)}}},
        LoadCase{"S3CountOf255",
                 Lines({SRecordLine(3, 0x1000, CountingBytes(7, 250))}),
                 0x10FF,
                 {{0x1000, CountingBytes(7, 250)}}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Leniency, HexLoadTest,
    testing::Values(
        LoadCase{"NonHexCharactersCountAsZero",
                 Lines({":02002000G1\xC3"
                        "100"}),
                 0x2F,
                 {{0x20, {0x01, 0x01}}}},
        LoadCase{"NonHexInAddress", Lines({":0120Z000AB00"}), 0x200F, {{0x2000, {0xAB}}}},
        LoadCase{"WrongSRecordChecksum", Lines({WithChecksum(SRecordLine(1, 0x20, {3}), "77")}), 0x2F, {{0x20, {3}}}}),
    CaseName);

// Records that end before their fields do: the missing characters read as
// '0' digits, so a data record still places its byteCount bytes.
INSTANTIATE_TEST_SUITE_P(ShortRecords, HexLoadTest,
                         testing::Values(LoadCase{"IntelDataCutShort",
                                                  Lines({":10200000AABB"}),
                                                  0x200F,
                                                  {{0x2000, {0xAA, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}}},
                                         LoadCase{"IntelCountOnly", Lines({":1"}), 0xF, {{0, ByteList(16, 0)}}},
                                         LoadCase{"IntelColonOnly", Lines({":"}), 0xF, {}},
                                         LoadCase{
                                             "IntelTypeHalfPresent", Lines({":0220000"}), 0x200F, {{0x2000, {0, 0}}}},
                                         LoadCase{"IntelLinearWithoutData",
                                                  Lines({IntelLinear(1), ":02000004", IntelData(0x10, {1})}),
                                                  0x1F,
                                                  {{0x10, {1}}}},
                                         LoadCase{"S1DataCutShort",
                                                  Lines({"S1132000AA"}),
                                                  0x200F,
                                                  {{0x2000, {0xAA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}}},
                                         LoadCase{"S1AddressCutShort", Lines({"S10520"}), 0x200F, {{0x2000, {0, 0}}}}),
                         CaseName);

// S1/S2/S3 counts below address length + 1 and Intel base records with
// fewer than two data bytes are passed over in both passes.
INSTANTIATE_TEST_SUITE_P(
    CountsTooSmall, HexLoadTest,
    testing::Values(LoadCase{"S1CountsBelow3",
                             Lines({"S1004000FF", "S1014000FF", "S1024000FF", SRecordLine(1, 0x10, {1})}),
                             0x1F,
                             {{0x10, {1}}}},
                    LoadCase{"S2CountBelow4", Lines({"S203400000FF", SRecordLine(2, 0x10, {1})}), 0x1F, {{0x10, {1}}}},
                    LoadCase{
                        "S3CountBelow5", Lines({"S30440000000FF", SRecordLine(3, 0x10, {1})}), 0x1F, {{0x10, {1}}}},
                    LoadCase{"LinearWithOneByteKeepsBase",
                             Lines({IntelLinear(1), IntelHexLine(4, 0, {2}), IntelData(0x10, {1})}),
                             0x1001F,
                             {{0x10010, {1}}}},
                    LoadCase{"SegmentWithNoByteKeepsBase",
                             Lines({IntelSegment(0x1000), IntelHexLine(2, 0, {}), IntelData(0x10, {1})}),
                             0x1001F,
                             {{0x10010, {1}}}},
                    LoadCase{"LinearWithOneByteAtStart",
                             Lines({IntelHexLine(4, 0, {0x7F}), IntelData(0x10, {1})}),
                             0x1F,
                             {{0x10, {1}}}}),
    CaseName);

// Lone CRs and CR LF pairs at every offset modulo the block length, so that
// each read boundary inside the reader meets a CR whose next byte comes with
// the next read, whatever the reader's read size.
TEST(HexLoad, CarriageReturnsAcrossReadBoundaries) {
  constexpr unsigned kBlocks = 5000;
  std::vector<Placement> placements;
  std::string blocks;
  for (unsigned k = 0; k < kBlocks; ++k) {
    const auto value = static_cast<std::uint8_t>(k);
    // Skipped: the line starts with a CR.
    blocks += "\r" + IntelData(2 * k + 1, {0x00}) + "\n";
    blocks += IntelData(2 * k, {value}) + "\r\n";
    placements.push_back({2 * k, {value}});
  }
  const std::size_t blockLength = blocks.size() / kBlocks;
  const std::uint32_t top = (2 * (kBlocks - 1)) | 0xF;
  const std::vector<std::uint8_t> expected = ExpectedImage(top, placements);
  TempFolder folder;
  for (std::size_t shift = 0; shift < blockLength; ++shift) {
    const std::string path = folder.Write("shift.hex", std::string(shift, ';') + "\n" + blocks);
    RecordingSink sink;
    HexImage image;
    ASSERT_EQ(LoadHexFile(path, image, sink), 0);
    EXPECT_TRUE(sink.entries.empty());
    ASSERT_EQ(image.topAddress, top) << "shift " << shift;
    ASSERT_EQ(ImageBytes(image), expected) << "shift " << shift;
  }
}

// A file read through a window of any size gives what the same text gives
// in memory: every refill of the window lands once on each kind of line end,
// cut piece, zero byte and text end.
TEST(LoadHexDescriptor, AnyWindowReadsAsTheTextInMemory) {
  // Pieces that end on their last character, on a CR LF, or one past it.
  std::string longLines;
  for (unsigned k = 0; k < 60; ++k) longLines += IntelData(0x600 + k, {3}) + std::string(524 + k % 6, '.') + "\r\n";
  std::string mixed = std::string(600, ';') + "\n";
  for (unsigned k = 0; k < 60; ++k) {
    mixed += "\r" + IntelData(2 * k + 1, {0x00}) + "\n" + IntelData(2 * k, {static_cast<std::uint8_t>(k)}) + "\r\n";
    mixed += IntelData(0x400 + k, {1}) + std::string(k % 3, '\0') + "\r" + IntelData(0x200 + k, {2}) + "\n";
  }
  for (const std::string& content :
       {longLines, mixed + longLines, mixed + std::string(1, 0x1A) + IntelData(0x9000, {3}) + "\n"}) {
    TempFolder folder;
    const std::string path = folder.Write("window.hex", content);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "rb"), &std::fclose);
    ASSERT_NE(stream, nullptr);
    RecordingSink sink;
    HexImage inMemory;
    ASSERT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(content.size()), inMemory, sink), 0);
    for (std::size_t window = HEX_LINE_BUFFER_SIZE + 1; window < 1300; ++window) {
      const UniqueFd fd(OpenForReading(path, FileKinds::RegularOnly));
      HexImage read;
      ASSERT_EQ(LoadHexDescriptor(fd.get(), static_cast<std::int64_t>(content.size()), read, sink, window), 0);
      ASSERT_EQ(ImageBytes(read), ImageBytes(inMemory)) << "window " << window;
      ASSERT_EQ(read.lines.records, inMemory.lines.records) << "window " << window;
      ASSERT_EQ(read.lines.carriageReturnSeen, inMemory.lines.carriageReturnSeen);
    }
    EXPECT_TRUE(sink.entries.empty());
  }
}

// Every piece of a file without a single LF takes one byte more in the
// stored lines than in the file; the buffer still holds them all.
TEST(HexLoad, FileOfCutPiecesOnly) {
  std::string content;
  std::vector<Placement> placements;
  for (unsigned i = 0; i < 40; ++i) {
    const std::string record = IntelData(0x100 + i, {static_cast<std::uint8_t>(i)});
    content += record + std::string(539 - record.size(), '.');
    placements.push_back({0x100 + i, {static_cast<std::uint8_t>(i)}});
  }
  content += IntelData(0x200, {0xEE});
  placements.push_back({0x200, {0xEE}});
  TempFolder folder;
  RecordingSink sink;
  HexImage image;
  ASSERT_EQ(LoadHexFile(folder.Write("pieces.hex", content), image, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  ASSERT_EQ(image.topAddress, 0x20Fu);
  EXPECT_EQ(ImageBytes(image), ExpectedImage(0x20F, placements));
}

// ---------------------------------------------------------------------------
// Images that do not fit, and an image exactly at the size limit

struct RefusedCase {
  std::string name;
  std::string content;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class HexRefusedImageTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(HexRefusedImageTest, ReportsMemoryAllocationError) {
  TempFolder folder;
  RecordingSink sink;
  HexImage image;
  image.topAddress = 0x1234;
  ASSERT_EQ(LoadHexFile(folder.Write("big.hex", GetParam().content), image, sink), -1);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Memory allocation error.");
  EXPECT_NE(sink.entries[0].reason.find("limit"), std::string::npos) << sink.entries[0].reason;
  EXPECT_EQ(image.topAddress, 0x1234u);
  EXPECT_EQ(image.bytes, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Refused, HexRefusedImageTest,
    testing::Values(RefusedCase{"IntelTopAtFFFFFFFF", Lines({IntelLinear(0xFFFF), IntelData(0xFFF0, {1})})},
                    RefusedCase{"IntelRecordWrapsPastFFFFFFFF",
                                Lines({IntelLinear(0xFFFF), IntelData(0xFFFF, {1, 2})})},
                    RefusedCase{"S3TopAtFFFFFFFF", Lines({SRecordLine(3, 0xFFFFFFF0, {1})})},
                    RefusedCase{"S3RecordWrapsPastFFFFFFFF", Lines({SRecordLine(3, 0xFFFFFFFF, {1, 2})})},
                    RefusedCase{"S3WithoutDataAtFFFFFFFF", Lines({SRecordLine(3, 0xFFFFFFFF, {})})},
                    RefusedCase{"OneLineAboveLimit", Lines({SRecordLine(3, HEX_IMAGE_SIZE_LIMIT, {1})})},
                    RefusedCase{"HugeRecordAmongSmallOnes",
                                Lines({IntelData(0, {1}), SRecordLine(3, 0x80000000, {1}), IntelEnd()})}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

TEST(HexLoad, ImageOfExactlyTheLimitLoads) {
  static_assert(HEX_IMAGE_SIZE_LIMIT <= 256u * 1024u * 1024u);
  TempFolder folder;
  RecordingSink sink;
  HexImage image;
  const std::string path = folder.Write("limit.hex", Lines({SRecordLine(3, HEX_IMAGE_SIZE_LIMIT - 1, {0x5A})}));
  ASSERT_EQ(LoadHexFile(path, image, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(image.topAddress, HEX_IMAGE_SIZE_LIMIT - 1);
  ASSERT_EQ(image.size(), std::size_t{HEX_IMAGE_SIZE_LIMIT});
  EXPECT_EQ(image.bytes[HEX_IMAGE_SIZE_LIMIT - 1], 0x5A);
  EXPECT_EQ(image.bytes[HEX_IMAGE_SIZE_LIMIT - 2], HEX_FILL_BYTE);
  EXPECT_EQ(image.bytes[0], HEX_FILL_BYTE);
}

TEST(HexLoad, HugeRecordAfterEndRecordDoesNotCount) {
  TempFolder folder;
  RecordingSink sink;
  HexImage image;
  const std::string path =
      folder.Write("after.hex", Lines({IntelData(0, {1}), IntelEnd(), SRecordLine(3, 0xFFFFFFF0, {1})}));
  ASSERT_EQ(LoadHexFile(path, image, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(image.topAddress, 0xFu);
}

}  // namespace
}  // namespace vorna::test
