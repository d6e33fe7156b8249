// The release files of dist/ used as their users use them: the Debian package unpacked into a
// scratch root (and installed and removed again with dpkg in a scratch root of its own), its
// programs run with the German locale; the Windows zip unpacked into a scratch folder and its
// programs run under tools/wine-run.sh, giving the bytes that the package's programs give.
// tools/test-release.sh makes the files and runs this program; FRAMECALC_DIST and
// FRAMECALC_RELEASE_BUILD name other release files and the build they came from.
#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string Version = FRAMECALC_VERSION_TEXT;
const std::string SourceDir = FRAMECALC_SOURCE_DIR;

std::string FromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? value : fallback;
}

std::string DistDir() { return FromEnvironment("FRAMECALC_DIST", SourceDir + "/dist"); }
std::string ReleaseBuildDir() {
  return FromEnvironment("FRAMECALC_RELEASE_BUILD", SourceDir + "/build/release/linux");
}
std::string DebName() { return "framecalc_" + Version + "_amd64.deb"; }
std::string ZipFolder() { return "framecalc-" + Version + "-win32"; }
std::string ZipName() { return ZipFolder() + ".zip"; }
std::string DebPath() { return DistDir() + "/" + DebName(); }
std::string ZipPath() { return DistDir() + "/" + ZipName(); }

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and standard error together
};

CommandResult Shell(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.output.append(buffer, count);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The regular files (and links) below `root`, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const std::string& root) {
  std::vector<std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() || entry.is_symlink()) {
      files.push_back(fs::relative(entry.path(), root).string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// `text` in another code page; the text unchanged when it has no exact form there.
std::string InCodePage(const std::string& text, const char* codePage) {
  iconv_t converter = iconv_open(codePage, "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return text;
  std::string input = text;
  std::string output(text.size() * 2 + 16, '\0');
  char* in = input.data();
  size_t inLeft = input.size();
  char* out = output.data();
  size_t outLeft = output.size();
  const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
  iconv_close(converter);
  if (result == static_cast<size_t>(-1)) return text;
  output.resize(output.size() - outLeft);
  return output;
}

// Scratch directories that live as long as the test program.
class ScratchDirectories : public testing::Environment {
 public:
  std::string Make() {
    dirs_.push_back(e2e::MakeTempDir());
    return dirs_.back();
  }
  void TearDown() override {
    for (const std::string& dir : dirs_) e2e::RemoveTree(dir);
  }

 private:
  std::vector<std::string> dirs_;
};
auto* const Scratch =
    static_cast<ScratchDirectories*>(testing::AddGlobalTestEnvironment(new ScratchDirectories));

// The package's files, unpacked once (dpkg-deb -x) into a scratch root.
const std::string& PackageRoot() {
  static const std::string root = [] {
    const std::string dir = Scratch->Make() + "/root";
    const CommandResult r = Shell("dpkg-deb -x " + Quote(DebPath()) + " " + Quote(dir));
    if (r.status != 0) ADD_FAILURE() << "dpkg-deb -x " << DebPath() << ":\n" << r.output;
    return dir;
  }();
  return root;
}

// How a user's program runs: the locale given, no configuration of the user's own.
e2e::RunResult RunAsUser(const std::string& program, std::vector<std::string> arguments,
                         const std::string& input, const std::string& locale,
                         const std::string& workingDirectory = "") {
  static const std::string home = Scratch->Make();
  e2e::RunOptions options;
  options.program = program;
  options.arguments = std::move(arguments);
  options.stdinBytes = input;
  options.direct = true;
  options.workingDirectory = workingDirectory;
  options.environment["HOME"] = home;
  options.environment["LC_ALL"] = locale;
  options.unsetEnvironment = {"XDG_CONFIG_HOME", "LC_MESSAGES", "LANG", "LANGUAGE"};
  options.timeoutSeconds = 120;
  return e2e::RunProgram(options);
}

const char ReadmeDialogue[] = "100\n200\n300\n400\nX\n150\n\n";
const char German[] = "de_DE.UTF-8";

// ---------------------------------------------------------------------------------------------
// The files of dist/.

TEST(ReleaseFiles, CarryTheVersionAndTheirChecksums) {
  ASSERT_TRUE(fs::exists(DebPath())) << DebPath() << " (run tools/make-release.sh)";
  ASSERT_TRUE(fs::exists(ZipPath())) << ZipPath();
  const std::vector<std::string> sums = Lines(ReadWhole(DistDir() + "/SHA256SUMS"));
  ASSERT_EQ(sums.size(), 2u) << ReadWhole(DistDir() + "/SHA256SUMS");
  EXPECT_TRUE(std::regex_match(
      sums[0],
      std::regex("[0-9a-f]{64}  " + std::regex_replace(DebName(), std::regex("\\."), "\\."))))
      << sums[0];
  EXPECT_TRUE(std::regex_match(
      sums[1],
      std::regex("[0-9a-f]{64}  " + std::regex_replace(ZipName(), std::regex("\\."), "\\."))))
      << sums[1];
  const CommandResult check =
      Shell("cd " + Quote(DistDir()) + " && sha256sum --check --strict SHA256SUMS");
  EXPECT_EQ(check.status, 0) << check.output;
}

// ---------------------------------------------------------------------------------------------
// The Debian package.

std::string Field(const std::string& name) {
  const CommandResult r = Shell("dpkg-deb --field " + Quote(DebPath()) + " " + name);
  EXPECT_EQ(r.status, 0) << r.output;
  return r.output.empty() ? r.output : r.output.substr(0, r.output.size() - 1);
}

TEST(DebianPackage, Metadata) {
  EXPECT_EQ(Field("Package"), "framecalc");
  EXPECT_EQ(Field("Version"), Version);
  EXPECT_EQ(Field("Architecture"), "amd64");
  EXPECT_EQ(Field("Section"), "science");
  EXPECT_EQ(Field("Priority"), "optional");
  EXPECT_TRUE(std::regex_match(Field("Maintainer"), std::regex("[^<>]+ <[^<>@ ]+@[^<>@ ]+>")))
      << Field("Maintainer");
  const std::vector<std::string> description = Lines(Field("Description"));
  ASSERT_GE(description.size(), 3u);
  EXPECT_LE(description[0].size(), 80u) << "the synopsis";
  for (size_t i = 1; i < description.size(); ++i) {
    EXPECT_EQ(description[i][0], ' ') << "extended description line " << i;
  }
  // The dependencies come from the programs themselves: the calculator is linked statically and
  // needs nothing; framecalc-batch needs the C library, of the version it was built against.
  EXPECT_TRUE(std::regex_match(Field("Depends"), std::regex("libc6 \\(>= [0-9.]+\\)")))
      << Field("Depends");
  const CommandResult kind = Shell("file -b " + Quote(PackageRoot() + "/usr/bin/framecalc"));
  EXPECT_NE(kind.output.find("statically linked"), std::string::npos) << kind.output;
}

TEST(DebianPackage, Contents) {
  const CommandResult listing = Shell("dpkg-deb --contents " + Quote(DebPath()));
  ASSERT_EQ(listing.status, 0) << listing.output;
  std::map<std::string, std::string> modes;  // path: mode and owner
  for (const std::string& line : Lines(listing.output)) {
    std::istringstream fields(line);
    std::string mode, owner, size, date, time, path;
    fields >> mode >> owner >> size >> date >> time >> path;
    modes[path] = mode + " " + owner;
  }
  const std::map<std::string, std::string> expected = {
      {"./usr/", "drwxr-xr-x root/root"},
      {"./usr/bin/", "drwxr-xr-x root/root"},
      {"./usr/bin/framecalc", "-rwxr-xr-x root/root"},
      {"./usr/bin/framecalc-batch", "-rwxr-xr-x root/root"},
      {"./usr/share/", "drwxr-xr-x root/root"},
      {"./usr/share/doc/", "drwxr-xr-x root/root"},
      {"./usr/share/doc/framecalc/", "drwxr-xr-x root/root"},
      {"./usr/share/doc/framecalc/changelog.gz", "-rw-r--r-- root/root"},
      {"./usr/share/doc/framecalc/copyright", "-rw-r--r-- root/root"},
      {"./usr/share/framecalc/", "drwxr-xr-x root/root"},
      {"./usr/share/framecalc/framecalc.DEU", "-rw-r--r-- root/root"},
      {"./usr/share/framecalc/framecalc.example.lang", "-rw-r--r-- root/root"},
      {"./usr/share/lintian/", "drwxr-xr-x root/root"},
      {"./usr/share/lintian/overrides/", "drwxr-xr-x root/root"},
      {"./usr/share/lintian/overrides/framecalc", "-rw-r--r-- root/root"},
      {"./usr/share/man/", "drwxr-xr-x root/root"},
      {"./usr/share/man/man1/", "drwxr-xr-x root/root"},
      {"./usr/share/man/man1/framecalc-batch.1.gz", "-rw-r--r-- root/root"},
      {"./usr/share/man/man1/framecalc.1.gz", "-rw-r--r-- root/root"},
  };
  EXPECT_EQ(modes, expected);

  const std::string& root = PackageRoot();
  EXPECT_EQ(ReadWhole(root + "/usr/share/framecalc/framecalc.DEU"),
            ReadWhole(SourceDir + "/share/framecalc.DEU.lang"));
  EXPECT_EQ(ReadWhole(root + "/usr/share/framecalc/framecalc.example.lang"),
            ReadWhole(SourceDir + "/share/framecalc.example.lang"));
  EXPECT_NE(ReadWhole(root + "/usr/share/doc/framecalc/copyright").find("Upstream-Name: framecalc"),
            std::string::npos);
  for (const char* page :
       {"man/man1/framecalc.1.gz", "man/man1/framecalc-batch.1.gz", "doc/framecalc/changelog.gz"}) {
    SCOPED_TRACE(page);
    const std::string path = root + "/usr/share/" + page;
    // gzip -9n: no file name and no time in the header, the best compression.
    const std::string header = ReadWhole(path).substr(0, 10);
    ASSERT_EQ(header.size(), 10u);
    EXPECT_EQ(header.substr(0, 3), "\x1f\x8b\x08");
    EXPECT_EQ(header[3] & 0x08, 0) << "the header names the file";
    EXPECT_EQ(header.substr(4, 4), std::string(4, '\0')) << "the header holds a time";
    EXPECT_EQ(header[8], '\x02') << "not compressed with -9";
    const CommandResult text = Shell("zcat " + Quote(path) + " | head -n 1");
    EXPECT_NE(text.output.find(Version), std::string::npos) << "no version: " << text.output;
  }
}

// Installed and removed with dpkg as on a user's machine, in a scratch root whose package
// database knows only the C library (taken from this machine's): the machine's own packages are
// not touched.
TEST(DebianPackage, InstallsAndRemovesWithDpkg) {
  if (geteuid() != 0) GTEST_SKIP() << "dpkg --root installs files owned by root: run as root";
  const std::string root = Scratch->Make() + "/dpkg-root";
  const std::string admin = root + "/var/lib/dpkg";
  for (const char* dir : {"info", "updates", "triggers"}) fs::create_directories(admin + "/" + dir);
  const CommandResult libc = Shell("dpkg-query --status libc6:$(dpkg --print-architecture)");
  ASSERT_EQ(libc.status, 0) << libc.output;
  std::ofstream(admin + "/status") << libc.output << "\n";
  std::ofstream(admin + "/available");
  const std::string dpkg =
      "dpkg --root=" + Quote(root) + " --log=" + Quote(root + "/dpkg.log") + " ";

  const CommandResult install = Shell(dpkg + "--install " + Quote(DebPath()));
  ASSERT_EQ(install.status, 0) << install.output;
  EXPECT_NE(Shell(dpkg + "--status framecalc").output.find("Status: install ok installed"),
            std::string::npos);
  EXPECT_EQ(FilesBelow(root + "/usr"), FilesBelow(PackageRoot() + "/usr"));
  const e2e::RunResult r = RunAsUser(root + "/usr/bin/framecalc", {}, "12a\n", German);
  EXPECT_NE(r.err.find("Ungültige Zahleneingabe."), std::string::npos) << r.err;

  const CommandResult remove = Shell(dpkg + "--remove framecalc");
  ASSERT_EQ(remove.status, 0) << remove.output;
  EXPECT_EQ(FilesBelow(root + "/usr"), std::vector<std::string>{}) << "left behind after removal";
  EXPECT_EQ(Shell(dpkg + "--status framecalc").output.find("install ok installed"),
            std::string::npos);
}

TEST(DebianPackage, LintianFindsNoError) {
  const CommandResult lintian = Shell("lintian --fail-on error --display-info " + Quote(DebPath()));
  std::cout << "lintian " << DebName() << ":\n" << lintian.output;
  EXPECT_EQ(lintian.status, 0) << lintian.output;
  for (const std::string& line : Lines(lintian.output)) {
    EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
  }
}

TEST(DebianPackage, ManualPagesRenderWithoutAWarning) {
  for (const char* page : {"framecalc.1.gz", "framecalc-batch.1.gz"}) {
    SCOPED_TRACE(page);
    const std::string path = Quote(PackageRoot() + "/usr/share/man/man1/" + page);
    // As lintian checks them: every warning of groff, in UTF-8 at 80 columns.
    const CommandResult warnings = Shell(
        "LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings "
        "-E UTF-8 -l -Tutf8 -Z " +
        path + " >/dev/null");
    EXPECT_EQ(warnings.status, 0);
    EXPECT_EQ(warnings.output, "");
    const CommandResult text = Shell("LC_ALL=C.UTF-8 MANWIDTH=80 man -l " + path);
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.output.find("framecalc " + Version), std::string::npos) << "no version";
  }
}

// The installed calculator as its users run it: the German module of the package found in the
// data folder under a German locale.
struct InstalledCase {
  const char* name;
  const char* input;
  const char* locale;
  std::string out;     // the whole standard output
  std::string report;  // standard error, "########" for the address
  int exitCode;
};
void PrintTo(const InstalledCase& c, std::ostream* os) { *os << c.name; }

class InstalledCalculator : public testing::TestWithParam<InstalledCase> {};

TEST_P(InstalledCalculator, RunsWithTheShippedMessages) {
  const InstalledCase& c = GetParam();
  const e2e::RunResult r = RunAsUser(PackageRoot() + "/usr/bin/framecalc", {}, c.input, c.locale);
  EXPECT_EQ(r.out, c.out);
  EXPECT_TRUE(std::regex_match(r.err, std::regex(e2e::ReportPattern(c.report)))) << r.err;
  EXPECT_EQ(r.exitCode, c.exitCode);
}

const std::string ReadmeTranscript = e2e::DialogueTranscript("X", "X= 150.00m", "Y= 250.00m");
const std::string FirstPrompt = e2e::CrLf("Enter the X coordinate of point A: \n");

INSTANTIATE_TEST_SUITE_P(
    Dialogues, InstalledCalculator,
    testing::Values(
        InstalledCase{"ReadmeDialogueInGerman", ReadmeDialogue, German, ReadmeTranscript, "", 0},
        InstalledCase{"ReadmeDialogueInEnglish", ReadmeDialogue, "C", ReadmeTranscript, "", 0},
        InstalledCase{"MistypedNumberInGerman", "12a\n", German, FirstPrompt,
                      "Ausnahme EInOutError in Modul framecalc an Adresse ########.\r\n"
                      "Ungültige Zahleneingabe.\r\n\r\n",
                      1},
        InstalledCase{"ParallelLinesInGerman", "1\n2\n1\n7\nX\n5\n", German,
                      e2e::DialoguePrompts("X") + e2e::CrLf("\n\n\n\n"),
                      "Ausnahme EZeroDivide in Modul framecalc an Adresse ########.\r\n"
                      "Gleitkommadivision durch null.\r\n\r\n",
                      1},
        InstalledCase{"InputEndsEarlyInGerman", "1\n2\n", German,
                      e2e::CrLf("Enter the X coordinate of point A: \n"
                                "Enter the Y coordinate of point A: \n\n"
                                "Enter the X coordinate of point B: \n"),
                      "Ausnahme EInOutError in Modul framecalc an Adresse ########.\r\n"
                      "Lesen über das Dateiende hinaus.\r\n\r\n",
                      1},
        InstalledCase{"MistypedNumberInEnglish", "12a\n", "C", FirstPrompt,
                      "Exception EInOutError in module framecalc at ########.\r\n"
                      "Invalid numeric input.\r\n\r\n",
                      1}),
    [](const testing::TestParamInfo<InstalledCase>& test) { return test.param.name; });

const char FrameCsv[] =
    "AX,AY,BX,BY,AXIS,K\n"
    "100,200,300,400,X,150\n"
    "-12.5,3e2,7.25,-4E1,X,0\n"
    "0,0,3,1,Y,0.5\n"
    "1,2,1,5,X,7\n"
    "1,2,3,4,X,12a\n";

TEST(InstalledBatch, VersionAndTheReadmeExample) {
  const std::string program = PackageRoot() + "/usr/bin/framecalc-batch";
  const e2e::RunResult version = RunAsUser(program, {"--version"}, "", "C");
  EXPECT_EQ(version.out, "framecalc-batch " + Version + "\n");
  EXPECT_EQ(version.exitCode, 0);

  const std::string dir = Scratch->Make();
  std::ofstream(dir + "/frame.csv", std::ios::binary) << FrameCsv;
  const e2e::RunResult r = RunAsUser(program, {"frame.csv"}, "", German, dir);
  EXPECT_EQ(r.out, "150.00\t250.00\n0.00\t84.81\n1.50\t0.50\n\n\n");
  EXPECT_EQ(r.err,
            "frame.csv:5: Y: Floating point division by zero\n"
            "frame.csv:6: K \"12a\": Invalid numeric input\n");
  EXPECT_EQ(r.exitCode, 1);
}

// `cmake --install` places the package's files: the same paths under any prefix, and with
// --strip (the package's programs are stripped) the same bytes.
TEST(CMakeInstall, PlacesTheFilesOfThePackage) {
  const std::string build = ReleaseBuildDir();
  ASSERT_TRUE(fs::exists(build + "/CMakeCache.txt")) << build << " is not the release's build";
  const std::string stripped = Scratch->Make();
  const CommandResult install = Shell("DESTDIR=" + Quote(stripped) + " cmake --install " +
                                      Quote(build) + " --prefix /usr --strip");
  ASSERT_EQ(install.status, 0) << install.output;
  const std::vector<std::string> files = FilesBelow(PackageRoot());
  ASSERT_EQ(FilesBelow(stripped), files);
  for (const std::string& file : files) {
    EXPECT_TRUE(ReadWhole(stripped + "/" + file) == ReadWhole(PackageRoot() + "/" + file)) << file;
  }

  const std::string prefix = Scratch->Make() + "/opt/framecalc";
  const CommandResult plain =
      Shell("cmake --install " + Quote(build) + " --prefix " + Quote(prefix));
  ASSERT_EQ(plain.status, 0) << plain.output;
  std::vector<std::string> packaged;
  for (const std::string& file : files) packaged.push_back(file.substr(std::string("usr/").size()));
  EXPECT_EQ(FilesBelow(prefix), packaged);
  // The program of a prefix of the user's choice finds the German module of that prefix.
  const e2e::RunResult r = RunAsUser(prefix + "/bin/framecalc", {}, "12a\n", German);
  EXPECT_NE(r.err.find("Ungültige Zahleneingabe."), std::string::npos) << r.err;
}

// ---------------------------------------------------------------------------------------------
// The Windows zip.

const std::string& ZipRoot() {
  static const std::string root = [] {
    const std::string dir = Scratch->Make();
    const CommandResult r = Shell("unzip -q " + Quote(ZipPath()) + " -d " + Quote(dir));
    if (r.status != 0) ADD_FAILURE() << "unzip " << ZipPath() << ":\n" << r.output;
    return dir + "/" + ZipFolder();
  }();
  return root;
}

// The machine field of a PE file's header: 0x014C for i686.
unsigned PeMachine(const std::string& path) {
  const std::string data = ReadWhole(path);
  if (data.size() < 64 || data.compare(0, 2, "MZ") != 0) return 0;
  const auto byte = [&data](size_t at) { return static_cast<unsigned char>(data[at]); };
  const size_t header =
      byte(60) | byte(61) << 8 | byte(62) << 16 | static_cast<size_t>(byte(63)) << 24;
  if (header + 6 > data.size() || data.compare(header, 4, std::string("PE\0\0", 4)) != 0) return 0;
  return byte(header + 4) | byte(header + 5) << 8;
}

TEST(WindowsZip, Contents) {
  const CommandResult listing = Shell("unzip -Z1 " + Quote(ZipPath()));
  ASSERT_EQ(listing.status, 0) << listing.output;
  std::vector<std::string> names = Lines(listing.output);
  std::sort(names.begin(), names.end());
  const std::string folder = ZipFolder() + "/";
  EXPECT_EQ(names,
            (std::vector<std::string>{folder, folder + "README.txt", folder + "framecalc-batch.exe",
                                      folder + "framecalc-batch.txt", folder + "framecalc.DEU",
                                      folder + "framecalc.exe", folder + "framecalc.txt"}));
  for (const char* program : {"framecalc.exe", "framecalc-batch.exe", "framecalc.DEU"}) {
    EXPECT_EQ(PeMachine(ZipRoot() + "/" + program), 0x014Cu) << program << " is no i686 file";
  }
  for (const char* text : {"README.txt", "framecalc.txt", "framecalc-batch.txt"}) {
    SCOPED_TRACE(text);
    const std::string contents = ReadWhole(ZipRoot() + "/" + text);
    ASSERT_FALSE(contents.empty());
    EXPECT_EQ(contents.substr(contents.size() - 2), "\r\n");
    size_t bare = 0;
    for (size_t i = 0; i < contents.size(); ++i) {
      if ((contents[i] == '\n' && (i == 0 || contents[i - 1] != '\r')) ||
          (contents[i] == '\r' && (i + 1 == contents.size() || contents[i + 1] != '\n'))) {
        ++bare;
      }
    }
    EXPECT_EQ(bare, 0u) << "line ends other than CR LF";
  }
  const std::string readme = ReadWhole(ZipRoot() + "/README.txt");
  for (const char* mention : {"framecalc.exe", "framecalc-batch.exe", "framecalc.DEU",
                              "HKCU\\Software\\Quenlor\\Locales", "framecalc.DE"}) {
    EXPECT_NE(readme.find(mention), std::string::npos) << mention;
  }
  EXPECT_NE(readme.find("framecalc " + Version + " for Windows"), std::string::npos);
  EXPECT_NE(readme.find("Ung\xFCltige"), std::string::npos)
      << "README.txt is not in code page 1252";
  const std::string manual = ReadWhole(ZipRoot() + "/framecalc.txt");
  EXPECT_EQ(manual.rfind("FRAMECALC(1)", 0), 0u) << manual.substr(0, 80);
  EXPECT_NE(manual.find("framecalc " + Version), std::string::npos);
  EXPECT_EQ(manual.find('\b'), std::string::npos) << "terminal overstrikes in the text";
}

// Whether the zip's programs run here, and why not: empty when they run. tools/wine-run.sh runs
// them with Wine where the kernel runs 32-bit code itself, and in a virtual machine where it
// does not and the runner has one (it then answers `--uses-vm` with 0). Where neither holds,
// Wine's 32-bit half cannot start: the tests of the zip's programs say so and are skipped.
const std::string& WindowsUnavailable() {
  static const std::string reason = []() -> std::string {
    const std::string runner = SourceDir + "/tools/wine-run.sh";
    // As tools/run-tests.sh decides it: Wine's 32-bit loader starts only where the kernel runs
    // 32-bit code itself (an emulator registered for it does not carry Wine).
    const bool runs32Bit = Shell("/usr/lib/wine/wine --version").status == 0 &&
                           Shell("grep -qs enabled /proc/sys/fs/binfmt_misc/qemu-i386").status != 0;
    const bool required = FromEnvironment("FRAMECALC_RELEASE_REQUIRE_WINDOWS", "0") == "1";
    if (!runs32Bit && !required) {
      const bool offersMachine = Shell("grep -q -e --uses-vm " + Quote(runner)).status == 0;
      if (!offersMachine || Shell(Quote(runner) + " --uses-vm").status != 0) {
        return "this machine's kernel runs no 32-bit code, so Wine cannot start the zip's i686 "
               "programs here, and tools/wine-run.sh has no virtual machine to run them in";
      }
    }
    e2e::RunOptions options;
    options.program = runner;
    options.arguments = {ZipRoot() + "/framecalc-batch.exe", "--version"};
    options.direct = true;
    options.timeoutSeconds = 1800;  // the first run may make a Wine prefix, or boot a machine
    const e2e::RunResult r = e2e::RunProgram(options);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << "tools/wine-run.sh framecalc-batch.exe --version: " << r.err;
    EXPECT_EQ(r.out, "framecalc-batch " + Version + "\n");
    return "";
  }();
  return reason;
}

// The report with the module's name and the address left out; both differ between the builds.
std::string WithoutModuleAndAddress(const std::string& report) {
  static const std::regex firstLine(
      "^(Exception [A-Za-z]+ in module|Ausnahme [A-Za-z]+ in Modul) framecalc(\\.exe)? "
      "(at|an Adresse) [0-9A-F]{8}\\.");
  return std::regex_replace(report, firstLine, "$1 MODULE $3 ADDRESS.");
}

class WindowsPrograms : public testing::Test {
 protected:
  void SetUp() override {
    if (!WindowsUnavailable().empty()) GTEST_SKIP() << WindowsUnavailable();
  }

  static e2e::RunResult RunWindows(const std::string& program, std::vector<std::string> arguments,
                                   const std::string& input, const std::string& locale,
                                   const std::string& workingDirectory = "") {
    arguments.insert(arguments.begin(), ZipRoot() + "/" + program);
    e2e::RunResult r =
        RunAsUser(SourceDir + "/tools/wine-run.sh", arguments, input, locale, workingDirectory);
    // The runner is a shell script: its shell warns about a locale that Linux lacks (Wine needs
    // none to take the language from LC_ALL). That line is the shell's, not the program's.
    const std::string warning = "bash: warning: setlocale: LC_ALL: cannot change locale";
    if (r.err.rfind(warning, 0) == 0) r.err.erase(0, r.err.find('\n') + 1);
    return r;
  }
};

struct DialogueCase {
  const char* name;
  const char* input;
  bool german;  // the German module chosen, by the locale
};
void PrintTo(const DialogueCase& c, std::ostream* os) { *os << c.name; }

class WindowsCalculator : public WindowsPrograms,
                          public testing::WithParamInterface<DialogueCase> {};

// The same dialogue through the package's framecalc and the zip's framecalc.exe: the same
// standard output, the same report (in the console's OEM code page on Windows, 850 for German)
// and the same exit code.
TEST_P(WindowsCalculator, GivesTheBytesOfTheLinuxBuild) {
  const DialogueCase& c = GetParam();
  const std::string locale = c.german ? German : "C";
  const e2e::RunResult linux = RunAsUser(PackageRoot() + "/usr/bin/framecalc", {}, c.input, locale);
  const e2e::RunResult windows = RunWindows("framecalc.exe", {}, c.input, locale);
  EXPECT_FALSE(windows.timedOut);
  EXPECT_EQ(windows.out, linux.out);
  EXPECT_EQ(WithoutModuleAndAddress(windows.err),
            WithoutModuleAndAddress(c.german ? InCodePage(linux.err, "CP850") : linux.err));
  EXPECT_EQ(windows.exitCode, linux.exitCode);
  if (!linux.err.empty()) {
    EXPECT_EQ(linux.err.rfind(c.german ? "Ausnahme " : "Exception ", 0), 0u) << linux.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dialogues, WindowsCalculator,
    testing::Values(DialogueCase{"ReadmeDialogue", ReadmeDialogue, false},
                    DialogueCase{"ReadmeDialogueInGerman", ReadmeDialogue, true},
                    DialogueCase{"YBranch", "-12.5\n3e2\n7.25\n-4E1\nx\n0\n\n", false},
                    DialogueCase{"MistypedNumber", "12a\n", false},
                    DialogueCase{"MistypedNumberInGerman", "12a\n", true},
                    DialogueCase{"ParallelLines", "1\n2\n1\n7\nX\n5\n", false},
                    DialogueCase{"ParallelLinesInGerman", "1\n2\n1\n7\nX\n5\n", true},
                    DialogueCase{"SamePointInGerman", "1\n1\n1\n1\nX\n1\n", true},
                    DialogueCase{"TooLargeInGerman", "1e400\n", true},
                    DialogueCase{"InputEndsEarlyInGerman", "1\n2\n", true}),
    [](const testing::TestParamInfo<DialogueCase>& test) { return test.param.name; });

// framecalc-batch reads its records from standard input here: a file beside the caller need not
// exist where the program runs (a virtual machine has the program's own folder only).
struct BatchCase {
  const char* name;
  std::vector<std::string> arguments;
  bool german;
};
void PrintTo(const BatchCase& c, std::ostream* os) { *os << c.name; }

class WindowsBatch : public WindowsPrograms, public testing::WithParamInterface<BatchCase> {};

TEST_P(WindowsBatch, GivesTheBytesOfTheLinuxBuild) {
  const BatchCase& c = GetParam();
  const std::string locale = c.german ? German : "C";
  const std::string dir = Scratch->Make();
  const e2e::RunResult linux =
      RunAsUser(PackageRoot() + "/usr/bin/framecalc-batch", c.arguments, FrameCsv, locale, dir);
  const e2e::RunResult windows =
      RunWindows("framecalc-batch.exe", c.arguments, FrameCsv, locale, dir);
  EXPECT_FALSE(windows.timedOut);
  EXPECT_EQ(windows.out, linux.out);
  EXPECT_EQ(windows.err, linux.err);
  EXPECT_EQ(windows.exitCode, linux.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, WindowsBatch,
    testing::Values(BatchCase{"Version", {"--version"}, false},
                    BatchCase{"Help", {"--help"}, false}, BatchCase{"ReadmeExample", {}, false},
                    BatchCase{"ReadmeExampleInGerman", {"-"}, true},
                    BatchCase{
                        "EchoDecimalsAndCrLf", {"--echo", "--decimals", "4", "--crlf"}, false},
                    BatchCase{"MissingFile", {"-", "missing.csv"}, true},
                    BatchCase{"UsageError", {"--decimals", "217"}, false}),
    [](const testing::TestParamInfo<BatchCase>& test) { return test.param.name; });

}  // namespace
