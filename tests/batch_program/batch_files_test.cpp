// framecalc-batch on table files as R, pandas, LibreOffice Calc, Excel and a GIS export write
// them: the files of tests/batch_program/files/ (made by tools/make-batch-fixtures.sh; their
// README.md says which program wrote each, and how). Each file's bytes reach the program on
// standard input, never by its name, so that the same cases run the Windows build in a guest
// that holds nothing but the program; both outputs must be exactly the bytes given, and the exit
// code the one given.
//
// Each file is read as it is (a result line per record, an empty line for a record that fails,
// the reason on standard error) and with --table (every line written back with X, Y, on_AB and
// error appended); a file written with decimal commas is read with --decimal-comma, and once
// without it, where every coordinate with a comma fails with the advice to give it. With
// --decimal-comma the table's X and Y carry the file's decimal comma, so that the spreadsheet
// that wrote the file reads them back as numbers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/batch_program_path.h"
#include "support/program_runner.h"

namespace {

const std::string FixtureDirectory = FRAMECALC_SOURCE_DIR "/tests/batch_program/files/";

// The whole file, byte for byte; empty when it cannot be read.
std::string FileBytes(const std::string& name, bool& readable) {
  std::ifstream in(FixtureDirectory + name, std::ios::binary);
  readable = static_cast<bool>(in);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct FileCase {
  const char* name;
  const char* file;  // in tests/batch_program/files/
  std::vector<std::string> arguments;
  std::string out;
  std::string err;
  int exitCode;
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class TableFiles : public testing::TestWithParam<FileCase> {};

TEST_P(TableFiles, GiveExactlyTheseResults) {
  const FileCase& c = GetParam();
  bool readable = false;
  const std::string bytes = FileBytes(c.file, readable);
  ASSERT_TRUE(readable) << FixtureDirectory << c.file;
  ASSERT_FALSE(bytes.empty()) << c.file;
  e2e::RunOptions options;
  options.program = BatchProgramPath();
  options.arguments = c.arguments;
  options.stdinBytes = bytes;
  const e2e::RunResult result = e2e::RunProgram(options);
  ASSERT_FALSE(result.timedOut);
  ASSERT_EQ(result.signal, 0) << "ended by a signal";
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(result.exitCode, c.exitCode);
}

// After "Invalid numeric input" for a coordinate with a comma, read without --decimal-comma.
const std::string CommaHint =
    " (a decimal comma needs --decimal-comma; digit grouping is not read)";

const std::string Utf16Refused =
    "-:1: encoding: UTF-16 text (a byte-order mark, or zero bytes between the characters): save "
    "the file as UTF-8 (or ASCII) text\n";

INSTANTIATE_TEST_SUITE_P(
    Written, TableFiles,
    testing::Values(
        // R write.csv: the row names' column "" first, names and strings quoted; AB parallel to the
        // frame line (record 4), A equal to B (record 5).
        FileCase{"RWriteCsv",
                 "r-write-csv.csv",
                 {},
                 "3515000.00\t5809673.42\n"
                 "3512868.85\t5806000.00\n"
                 "0.00\t-53.80\n"
                 "\n"
                 "\n",
                 "-:5: Y: Floating point division by zero\n"
                 "-:6: X: Invalid floating point operation\n",
                 1},
        FileCase{"RWriteCsvTable",
                 "r-write-csv.csv",
                 {"--table"},
                 "\"\",\"AX\",\"AY\",\"BX\",\"BY\",\"AXIS\",\"K\""
                 ",X,Y,on_AB,error\n"
                 "\"1\",3512345.67,5806123.45,3514321.09,5808765.43,\"X\",3515000"
                 ",3515000.00,5809673.42,no,\n"
                 "\"2\",3514321.09,5808765.43,3511987.65,5804321.98,\"Y\",5806000"
                 ",3512868.85,5806000.00,yes,\n"
                 "\"3\",-1250.5,340.25,2875.75,-960,\"X\",0"
                 ",0.00,-53.80,yes,\n"
                 "\"4\",3512000,5805000.5,3512000,5807000.25,\"X\",3512500"
                 ",,,,Y: Floating point division by zero\n"
                 "\"5\",3513456.78,5807654.32,3513456.78,5807654.32,\"Y\",5807000"
                 ",,,,X: Invalid floating point operation\n",
                 "-:5: Y: Floating point division by zero\n"
                 "-:6: X: Invalid floating point operation\n",
                 1},
        // R write.csv2: ";" and decimal commas; R's NA for a missing AY.
        FileCase{"RWriteCsv2",
                 "r-write-csv2.csv",
                 {"--decimal-comma"},
                 "4568583.43\t5422000.00\n"
                 "4568000.00\t5422521.10\n"
                 "-250.33\t0.00\n"
                 "\n"
                 "4567000.25\t5421772.20\n",
                 "-:5: AY \"NA\": Invalid numeric input\n",
                 1},
        FileCase{"RWriteCsv2Table",
                 "r-write-csv2.csv",
                 {"--decimal-comma", "--table"},
                 "\"\";\"AX\";\"AY\";\"BX\";\"BY\";\"AXIS\";\"K\""
                 ";X;Y;on_AB;error\n"
                 "\"1\";4567890,12;5423456,78;4569012,34;5421098,76;\"Y\";5422000"
                 ";4568583,43;5422000,00;yes;\n"
                 "\"2\";4569012,34;5421098,76;4566543,21;5424567,89;\"X\";4568000"
                 ";4568000,00;5422521,10;yes;\n"
                 "\"3\";-345,6;12,75;410,2;-88,4;\"Y\";0"
                 ";-250,33;0,00;yes;\n"
                 "\"4\";4567000;NA;4568000;5423000;\"X\";4567500"
                 ";;;;\"AY \"\"NA\"\": Invalid numeric input\"\n"
                 "\"5\";4566123,4;5420987,65;4568234,5;5422876,54;\"X\";4567000,25"
                 ";4567000,25;5421772,20;yes;\n",
                 "-:5: AY \"NA\": Invalid numeric input\n",
                 1},
        FileCase{"RWriteCsv2WithoutDecimalComma",
                 "r-write-csv2.csv",
                 {},
                 "\n"
                 "\n"
                 "\n"
                 "\n"
                 "\n",
                 "-:2: AX \"4567890,12\": Invalid numeric input" + CommaHint + "\n" +
                     "-:3: AX \"4569012,34\": Invalid numeric input" + CommaHint + "\n" +
                     "-:4: AX \"-345,6\": Invalid numeric input" + CommaHint + "\n" +
                     "-:5: AY \"NA\": Invalid numeric input\n"
                     "-:6: AX \"4566123,4\": Invalid numeric input" +
                     CommaHint + "\n",
                 1},
        // pandas to_csv(index=False): floats with ".0", AXIS typed in either case, a missing value
        // as an empty cell; AB parallel to the frame line Y = K (record 5).
        FileCase{"PandasIndexFalse",
                 "pandas-index-false.csv",
                 {},
                 "2600000.00\t5711111.10\n"
                 "2600111.10\t5711000.00\n"
                 "-1000.00\t1019.64\n"
                 "\n"
                 "\n",
                 "-:5: AY: Empty field\n"
                 "-:6: X: Floating point division by zero\n",
                 1},
        FileCase{"PandasIndexFalseTable",
                 "pandas-index-false.csv",
                 {"--table"},
                 "AX,AY,BX,BY,AXIS,K"
                 ",X,Y,on_AB,error\n"
                 "2598765.43,5712345.67,2601234.56,5709876.54,x,2600000.0"
                 ",2600000.00,5711111.10,yes,\n"
                 "2601234.56,5709876.54,2597654.32,5713456.78,Y,5711000.0"
                 ",2600111.10,5711000.00,yes,\n"
                 "-2468.13,-1357.24,1122.33,4455.66,X,-1000.0"
                 ",-1000.00,1019.64,yes,\n"
                 "2599000.0,,2600500.0,5711500.0,Y,5711000.0"
                 ",,,,AY: Empty field\n"
                 "2599500.0,5710000.0,2600500.0,5710000.0,y,5710500.0"
                 ",,,,X: Floating point division by zero\n",
                 "-:5: AY: Empty field\n"
                 "-:6: X: Floating point division by zero\n",
                 1},
        // pandas with csv.QUOTE_NONNUMERIC: columns before and after the six, every string quoted,
        // a missing BX as a quoted empty string, a remark holding the delimiter; A equal to B (and
        // K on them).
        FileCase{"PandasQuoteNonnumeric",
                 "pandas-quote-nonnumeric.csv",
                 {},
                 "3457690.24\t5678000.00\n"
                 "3457000.00\t5678007.49\n"
                 "\n"
                 "-450.58\t100.00\n"
                 "\n",
                 "-:4: BX: Empty field\n"
                 "-:6: Y: Invalid floating point operation\n",
                 1},
        FileCase{"PandasQuoteNonnumericTable",
                 "pandas-quote-nonnumeric.csv",
                 {"--table"},
                 "\"Punkt\",\"AX\",\"AY\",\"BX\",\"BY\",\"AXIS\",\"K\",\"Blatt\""
                 ",X,Y,on_AB,error\n"
                 "\"P1\",3456789.01,5678901.23,3458901.23,5676789.01,\"Y\",5678000.0,\"TK25 3315\""
                 ",3457690.24,5678000.00,yes,\n"
                 "\"P2\",3458901.23,5676789.01,3455432.1,5679012.34,\"X\",3457000.0,\"TK25 3315\""
                 ",3457000.00,5678007.49,yes,\n"
                 "\"P3\",3455000.0,5677500.0,\"\",5678500.0,\"X\",3456000.0,\"TK25 3316\""
                 ",,,,BX: Empty field\n"
                 "\"P4\",-876.54,234.5,1234.56,-432.1,\"Y\",100.0,\"Ausschnitt, lokal\""
                 ",-450.58,100.00,yes,\n"
                 "\"P5\",3457123.45,5677123.45,3457123.45,5677123.45,\"X\",3457123.45,\"TK25 3315\""
                 ",,,,Y: Invalid floating point operation\n",
                 "-:4: BX: Empty field\n"
                 "-:6: Y: Invalid floating point operation\n",
                 1},
        // pandas with sep=";", decimal=",": every record gives a result.
        FileCase{"PandasGerman",
                 "pandas-semicolon-decimal-comma.csv",
                 {"--decimal-comma"},
                 "3400000.00\t5600000.05\n"
                 "3399999.96\t5600000.00\n"
                 "-7.04\t10.00\n",
                 "",
                 0},
        FileCase{"PandasGermanTable",
                 "pandas-semicolon-decimal-comma.csv",
                 {"--decimal-comma", "--table"},
                 "AX;AY;BX;BY;AXIS;K"
                 ";X;Y;on_AB;error\n"
                 "3398765,4;5598765,43;3401234,5;5601234,56;X;3400000,0"
                 ";3400000,00;5600000,05;yes;\n"
                 "3401234,5;5601234,56;3397890,12;5597890,12;Y;5600000,0"
                 ";3399999,96;5600000,00;yes;\n"
                 "-55,55;66,6;77,7;-88,88;Y;10,0"
                 ";-7,04;10,00;yes;\n",
                 "",
                 0},
        FileCase{"PandasGermanWithoutDecimalComma",
                 "pandas-semicolon-decimal-comma.csv",
                 {},
                 "\n"
                 "\n"
                 "\n",
                 "-:2: AX \"3398765,4\": Invalid numeric input" + CommaHint + "\n" +
                     "-:3: AX \"3401234,5\": Invalid numeric input" + CommaHint + "\n" +
                     "-:4: AX \"-55,55\": Invalid numeric input" + CommaHint + "\n",
                 1},
        // LibreOffice Calc, English, "quote all text cells": numbers as the sheet shows them (two
        // decimals), an empty row as a line of commas; A equal to B (record 4).
        FileCase{"LibreOfficeEnglish",
                 "libreoffice-en-quote-all-text.csv",
                 {},
                 "3512050.00\t5806212.65\n"
                 "3511758.02\t5807000.00\n"
                 "2500.00\t-2041.88\n"
                 "\n",
                 "-:6: X: Invalid floating point operation\n",
                 1},
        FileCase{"LibreOfficeEnglishTable",
                 "libreoffice-en-quote-all-text.csv",
                 {"--table"},
                 "\"Punkt\",\"AX\",\"AY\",\"BX\",\"BY\",\"AXIS\",\"K\""
                 ",X,Y,on_AB,error\n"
                 "\"GP 101\",3511876.54,5805432.10,3512123.46,5806543.21,\"X\",3512050.00"
                 ",3512050.00,5806212.65,yes,\n"
                 "\"GP 102\",3512123.46,5806543.21,3511234.56,5807654.32,\"Y\",5807000.00"
                 ",3511758.02,5807000.00,yes,\n"
                 ",,,,,,"
                 "\n"
                 "\"GP 103\",-1500.25,2200.75,1800.50,-1300.00,\"X\",2500.00"
                 ",2500.00,-2041.88,no,\n"
                 "\"GP 104\",3511500.00,5806000.00,3511500.00,5806000.00,\"Y\",5806500.00"
                 ",,,,X: Invalid floating point operation\n",
                 "-:6: X: Invalid floating point operation\n",
                 1},
        // LibreOffice Calc, German: ";" and decimal commas, the empty row as a line of ";"; K on B
        // (record 2), AB parallel to the frame line (record 4).
        FileCase{"LibreOfficeGerman",
                 "libreoffice-de-quote-all-text.csv",
                 {"--decimal-comma"},
                 "4413913.56\t5633000.00\n"
                 "4411111.11\t5633333.33\n"
                 "\n"
                 "100.00\t96.43\n",
                 "-:5: Y: Floating point division by zero\n",
                 1},
        FileCase{"LibreOfficeGermanTable",
                 "libreoffice-de-quote-all-text.csv",
                 {"--decimal-comma", "--table"},
                 "\"Punkt\";\"AX\";\"AY\";\"BX\";\"BY\";\"AXIS\";\"K\""
                 ";X;Y;on_AB;error\n"
                 "\"TP 7\";4412345,67;5634567,89;4414567,89;5632345,67;\"Y\";5633000,00"
                 ";4413913,56;5633000,00;yes;\n"
                 "\"TP 8\";4414567,89;5632345,67;4411111,11;5633333,33;\"X\";4411111,11"
                 ";4411111,11;5633333,33;yes;\n"
                 ";;;;;;"
                 "\n"
                 "\"TP 9\";4413000,00;5633500,50;4413000,00;5634500,75;\"X\";4413500,00"
                 ";;;;Y: Floating point division by zero\n"
                 "\"TP 10\";-234,56;-345,67;456,78;567,89;\"X\";100,00"
                 ";100,00;96,43;yes;\n",
                 "-:5: Y: Floating point division by zero\n",
                 1},
        FileCase{"LibreOfficeGermanWithoutDecimalComma",
                 "libreoffice-de-quote-all-text.csv",
                 {},
                 "\n"
                 "\n"
                 "\n"
                 "\n",
                 "-:2: AX \"4412345,67\": Invalid numeric input" + CommaHint + "\n" +
                     "-:3: AX \"4414567,89\": Invalid numeric input" + CommaHint + "\n" +
                     "-:5: AX \"4413000,00\": Invalid numeric input" + CommaHint + "\n" +
                     "-:6: AX \"-234,56\": Invalid numeric input" + CommaHint + "\n",
                 1},
        // Excel "CSV UTF-8": a byte-order mark (written back in the table), CR LF, UTF-8 names, a
        // line break inside a quoted cell (the lines after it keep their numbers); a missing K.
        FileCase{"ExcelCsvUtf8",
                 "excel-csv-utf8.csv",
                 {},
                 "3524000.00\t5811802.43\n"
                 "3524802.38\t5811000.00\n"
                 "\n"
                 "-469.96\t0.00\n",
                 "-:5: K: Empty field\n",
                 1},
        FileCase{"ExcelCsvUtf8Table",
                 "excel-csv-utf8.csv",
                 {"--table"},
                 "\xEF\xBB\xBFName,AX,AY,BX,BY,AXIS,K"
                 ",X,Y,on_AB,error\n"
                 "Grenzstein S\xC3\xBC"
                 "d,3523456.78,5812345.67,3525678.9,5810123.45,X,3524000"
                 ",3524000.00,5811802.43,yes,\n"
                 "\"Mast 4\n"
                 "alte Leitung\",3525678.9,5810123.45,3522345.67,5813456.78,Y,5811000"
                 ",3524802.38,5811000.00,yes,\n"
                 "Br\xC3\xBC"
                 "cke,3524000.5,5811000.25,3524100.75,5811200.5,X,"
                 ",,,,K: Empty field\n"
                 "Pegel,-987.65,-123.45,876.54,321.09,Y,0"
                 ",-469.96,0.00,yes,\n",
                 "-:5: K: Empty field\n",
                 1},
        // A German Excel: Windows-1252 remarks, ";", decimal commas, CR LF; AXIS "R" (Rechtswert),
        // which is neither X nor Y.
        FileCase{"ExcelGerman",
                 "excel-de-semicolon.csv",
                 {"--decimal-comma"},
                 "4500000.00\t5508765.43\n"
                 "4499888.88\t5509000.00\n"
                 "\n"
                 "51.35\t0.00\n",
                 "-:4: AXIS \"R\": Not X or Y\n",
                 1},
        FileCase{"ExcelGermanTable",
                 "excel-de-semicolon.csv",
                 {"--decimal-comma", "--table"},
                 "Punkt;AX;AY;BX;BY;AXIS;K;Bemerkung"
                 ";X;Y;on_AB;error\n"
                 "1;4498765,43;5509876,54;4501234,56;5507654,32;X;4500000;Flurst\xFC"
                 "ck 12/3"
                 ";4500000,00;5508765,43;yes;\n"
                 "2;4501234,56;5507654,32;4497654,32;5511234,56;Y;5509000;"
                 ";4499888,88;5509000,00;yes;\n"
                 "3;4499000;5508000;4500500,5;5509500,25;R;4500000;Rechtswert gemeint"
                 ";;;;\"AXIS \"\"R\"\": Not X or Y\"\n"
                 "4;-12,34;56,78;90,12;-34,56;Y;0;\xF6rtlich"
                 ";51,35;0,00;yes;\n",
                 "-:4: AXIS \"R\": Not X or Y\n",
                 1},
        FileCase{"ExcelGermanWithoutDecimalComma",
                 "excel-de-semicolon.csv",
                 {},
                 "\n"
                 "\n"
                 "\n"
                 "\n",
                 "-:2: AX \"4498765,43\": Invalid numeric input" + CommaHint + "\n" +
                     "-:3: AX \"4501234,56\": Invalid numeric input" + CommaHint + "\n" +
                     "-:4: BX \"4500500,5\": Invalid numeric input" + CommaHint + "\n" +
                     "-:5: AX \"-12,34\": Invalid numeric input" + CommaHint + "\n",
                 1},
        // A GIS attribute export (ogr2ogr, tabs): an id first, quoted numbers, a remark with a
        // comma and quotes last; a missing K.
        FileCase{"GisTabExport",
                 "gis-ogr2ogr-tab.csv",
                 {},
                 "3568000.00\t5923239.20\n"
                 "3567834.79\t5923000.00\n"
                 "\n"
                 "3118.26\t-4000.00\n",
                 "-:4: K: Empty field\n",
                 1},
        FileCase{
            "GisTabExportTable",
            "gis-ogr2ogr-tab.csv",
            {"--table"},
            "id\tAX\tAY\tBX\tBY\tAXIS\tK\tBemerkung"
            "\tX\tY\ton_AB\terror\n"
            "\"7001\"\t3567890.12\t5923456.78\t3569012.34\t5921234.56\tX\t\"3568000\"\t"
            "\"Grenzstein \"\"alt\"\", versetzt\""
            "\t3568000.00\t5923239.20\tyes\t\n"
            "\"7002\"\t3569012.34\t5921234.56\t3566789.01\t5924567.89\tY\t\"5923000\"\tKanaldeckel"
            "\t3567834.79\t5923000.00\tyes\t\n"
            "\"7003\"\t3568500.5\t5922000\t3568500.5\t5923000.75\tX\t\t\"K fehlt, nachmessen\""
            "\t\t\t\tK: Empty field\n"
            "\"7004\"\t-4321.5\t1234.25\t2345.75\t-3456.5\tY\t\"-4000\"\tlokales System"
            "\t3118.26\t-4000.00\tno\t\n",
            "-:4: K: Empty field\n",
            1},
        // Lines ended by a lone CR (classic Mac OS); AB parallel to the frame line (record 3).
        FileCase{"OldMacLoneCr",
                 "old-mac-cr.csv",
                 {},
                 "3346907.41\t5455555.00\n"
                 "3346000.00\t5456328.66\n"
                 "\n"
                 "10.00\t40.55\n",
                 "-:4: X: Floating point division by zero\n",
                 1},
        FileCase{"OldMacLoneCrTable",
                 "old-mac-cr.csv",
                 {"--table"},
                 "AX,AY,BX,BY,AXIS,K"
                 ",X,Y,on_AB,error\n"
                 "3345678.9,5456789.01,3347890.12,5454567.89,Y,5455555"
                 ",3346907.41,5455555.00,yes,\n"
                 "3347890.12,5454567.89,3344444.44,5457777.77,X,3346000"
                 ",3346000.00,5456328.66,yes,\n"
                 "3346000,5456000,3347000,5456000,Y,5457000"
                 ",,,,X: Floating point division by zero\n"
                 "-111.11,222.22,333.33,-444.47,X,10"
                 ",10.00,40.55,yes,\n",
                 "-:4: X: Floating point division by zero\n",
                 1},
        // Excel "Unicode text" (UTF-16 LE with a byte-order mark, tabs): refused before any
        // result, with the advice to save the file as UTF-8.
        FileCase{"ExcelUnicodeText", "excel-unicode-text-utf16le.txt", {}, "", Utf16Refused, 2},
        FileCase{"ExcelUnicodeTextTable",
                 "excel-unicode-text-utf16le.txt",
                 {"--table"},
                 "",
                 Utf16Refused,
                 2}),
    [](const testing::TestParamInfo<FileCase>& param) { return std::string(param.param.name); });

// The files keep the bytes their programs wrote: a checkout that changed their line ends or
// dropped a byte-order mark would leave the cases above passing without reading what they name.
struct FileBytesCase {
  const char* file;
  std::string start;         // the first bytes
  int crLf, loneCr, loneLf;  // line ends, counted byte by byte
};

void PrintTo(const FileBytesCase& c, std::ostream* os) { *os << c.file; }

class TableFileBytes : public testing::TestWithParam<FileBytesCase> {};

TEST_P(TableFileBytes, AreThoseOfTheirPrograms) {
  const FileBytesCase& c = GetParam();
  bool readable = false;
  const std::string bytes = FileBytes(c.file, readable);
  ASSERT_TRUE(readable) << FixtureDirectory << c.file;
  EXPECT_EQ(bytes.substr(0, c.start.size()), c.start);
  int crLf = 0, loneCr = 0, loneLf = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      ++crLf;
      ++i;
    } else if (bytes[i] == '\r') {
      ++loneCr;
    } else if (bytes[i] == '\n') {
      ++loneLf;
    }
  }
  EXPECT_EQ(crLf, c.crLf);
  EXPECT_EQ(loneCr, c.loneCr);
  EXPECT_EQ(loneLf, c.loneLf);
}

INSTANTIATE_TEST_SUITE_P(
    Checkout, TableFileBytes,
    testing::Values(FileBytesCase{"r-write-csv.csv", "\"\",\"AX\"", 0, 0, 6},
                    FileBytesCase{"r-write-csv2.csv", "\"\";\"AX\"", 0, 0, 6},
                    FileBytesCase{"pandas-index-false.csv", "AX,AY", 0, 0, 6},
                    FileBytesCase{"pandas-quote-nonnumeric.csv", "\"Punkt\",", 0, 0, 6},
                    FileBytesCase{"pandas-semicolon-decimal-comma.csv", "AX;AY", 0, 0, 4},
                    FileBytesCase{"libreoffice-en-quote-all-text.csv", "\"Punkt\",", 0, 0, 6},
                    FileBytesCase{"libreoffice-de-quote-all-text.csv", "\"Punkt\";", 0, 0, 6},
                    // One LF inside a quoted cell.
                    FileBytesCase{"excel-csv-utf8.csv", "\xEF\xBB\xBFName,", 5, 0, 1},
                    FileBytesCase{"excel-de-semicolon.csv", "Punkt;", 5, 0, 0},
                    FileBytesCase{"gis-ogr2ogr-tab.csv", "id\tAX\t", 0, 0, 5},
                    FileBytesCase{"old-mac-cr.csv", "AX,AY", 0, 5, 0},
                    // CR LF in UTF-16: CR, a zero byte, LF, a zero byte.
                    FileBytesCase{"excel-unicode-text-utf16le.txt",
                                  std::string("\xFF\xFEP\0u\0", 6), 0, 3, 3}),
    [](const testing::TestParamInfo<FileBytesCase>& param) {
      // The file's name without its extension, each word capitalized: RWriteCsv2.
      std::string name;
      bool wordStart = true;
      for (const char* p = param.param.file; *p != '\0' && *p != '.'; ++p) {
        if (*p == '-') {
          wordStart = true;
          continue;
        }
        name += wordStart && *p >= 'a' && *p <= 'z' ? static_cast<char>(*p - 'a' + 'A') : *p;
        wordStart = false;
      }
      return name;
    });

}  // namespace
