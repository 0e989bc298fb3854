// The content check on damaged files: each kind of problem, its line as an
// editor numbers it, its text, their order, and what is not a problem.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "download/hex_file.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;

const std::string DATA = IntelData(0x2000, {1, 2, 3, 4}) + "\n";  // :0420000001020304D2
const std::string END = IntelEnd() + "\n";

struct DamagedFile {
  const char* name;
  std::string text;
  Strings lines;
};

void PrintTo(const DamagedFile& row, std::ostream* os) { *os << row.name; }

class HexCheckTest : public testing::TestWithParam<DamagedFile> {};

TEST_P(HexCheckTest, ListsEachProblemWithItsLine) {
  TempFolder folder;
  RecordingSink sink;
  HexImage image;
  ASSERT_EQ(LoadHexFile(folder.Write("damaged.hex", GetParam().text), image, sink), 0);
  EXPECT_EQ(HexProblemLines(image.content), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HexCheckTest,
    testing::Values(
        DamagedFile{"clean", DATA + END, {}},
        DamagedFile{"clean_srecords_crlf_blanks_eof_character",
                    "S00400007685\r\n\r\n \t\r\n" + SRecordLine(1, 0x2000, {1, 2}) + "\r\nS9030000FC\r\n\x1Ahello",
                    {}},
        DamagedFile{"nothing_after_the_end_record_is_read", DATA + END + "hello\n:00000001FE\n", {}},
        DamagedFile{"checksum",
                    DATA + ":0420100001020304C3\nS107200001020304CF\n" + END,
                    {"line 2: checksum 0xC3 does not match the record's bytes, which give 0xC2",
                     "line 3: checksum 0xCF does not match the record's bytes, which give 0xCE"}},
        DamagedFile{"not_hex_digits",
                    ":042000000102G304D2\n:0420000001" + std::string(1, '\0') + "0304D2\n" + END,
                    {"line 1: character 'G' at column 14 is not a hexadecimal digit",
                     "line 2: character \\x00 at column 12 is not a hexadecimal digit"}},
        DamagedFile{"short_records",
                    ":042000000102\nS10720000102\n" + END,
                    {"line 1: record ends after 13 characters; its byte count 0x04 asks for 19",
                     "line 2: record ends after 12 characters; its byte count 0x07 asks for 18"}},
        DamagedFile{"not_records",
                    DATA + "hello world\nSome text\n;" + std::string(40, '-') + "\n" + END,
                    {"line 2: not a record: \"hello world\"", "line 3: not a record: \"Some text\"",
                     "line 4: not a record: \";" + std::string(31, '-') + "\u2026\""}},
        DamagedFile{"long_line_counts_once",
                    IntelData(0x2000, {1}) + std::string(1200, ' ') + ":00000001FF\n" + DATA + "x\n" + END,
                    {"line 1: longer than 539 characters: the reader takes the rest as lines of their own",
                     "line 3: not a record: \"x\""}},
        DamagedFile{"no_end_record", DATA + "\n", {"line 2: the file ends without an end record"}},
        DamagedFile{"cr_alone",
                    IntelData(0x2000, {1}) + "\r" + IntelEnd() + "\r",
                    {"line 1: the file ends without an end record (its lines end in CR alone, which the reader "
                     "takes as one line)"}},
        DamagedFile{"outside_the_window_in_runs_in_file_order",
                    IntelData(0x0000, {1}) + "\n:0100100002EC\n" + IntelData(0x1FFE, {1, 2, 3, 4}) + "\n" + DATA +
                        IntelData(0x4000, {1}) + "\n" + IntelData(0x0100, {1}) + "\n" + END,
                    {"lines 1\u20133: data at 0x0000\u20130x1FFF lies outside 0x2000\u20130x3FFF and will not be sent",
                     "line 2: checksum 0xEC does not match the record's bytes, which give 0xED",
                     "line 5: data at 0x4000 lies outside 0x2000\u20130x3FFF and will not be sent",
                     "line 6: data at 0x0100 lies outside 0x2000\u20130x3FFF and will not be sent"}},
        DamagedFile{"more_than_ten",
                    "x\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\n" + END,
                    {"line 1: not a record: \"x\"", "line 2: not a record: \"x\"", "line 3: not a record: \"x\"",
                     "line 4: not a record: \"x\"", "line 5: not a record: \"x\"", "line 6: not a record: \"x\"",
                     "line 7: not a record: \"x\"", "line 8: not a record: \"x\"", "line 9: not a record: \"x\"",
                     "and 3 more problems"}}),
    [](const testing::TestParamInfo<DamagedFile>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna::test
