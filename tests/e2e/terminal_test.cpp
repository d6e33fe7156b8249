// The calculator at a terminal, driven through a pseudo-terminal as a person would drive it.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/program_runner.h"

namespace {

class TerminalSession {
 public:
  explicit TerminalSession(const std::string& writeLog) {
    termios raw{};
    // No echo and no output processing, so the screen holds exactly the program's bytes; input is
    // line-edited as at a console, and Enter (CR) arrives as LF.
    cfmakeraw(&raw);
    raw.c_iflag |= ICRNL;
    raw.c_lflag |= ICANON;
    raw.c_cc[VEOF] = 4;  // Ctrl+D at the start of a line ends the input, as at a shell
    std::vector<std::string> words = e2e::WriteTracerArguments(writeLog);
    if (!e2e::ProgramRunner().empty()) words.push_back(e2e::ProgramRunner());
    words.push_back(e2e::ProgramPath());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_ = forkpty(&master_, nullptr, &raw, nullptr);
    if (pid_ == 0) {
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~TerminalSession() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  bool started() const { return pid_ > 0 && master_ >= 0; }

  // Reads the screen until `text` has appeared after what was already seen, or the time is up.
  bool WaitFor(const std::string& text, int milliseconds = 10000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (screen_.find(text, seen_) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0 || !ReadSome(static_cast<int>(left))) return false;
    }
    seen_ = screen_.find(text, seen_) + text.size();
    return true;
  }
  // True when nothing new appears on the screen for the given time.
  bool QuietFor(int milliseconds) {
    const size_t before = screen_.size();
    ReadSome(milliseconds);
    return screen_.size() == before;
  }
  void Type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  bool Running() {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exited_ = true;
      status_ = status;
    }
    return r == 0;
  }
  int WaitExit(int milliseconds = 10000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
      // Once the program has gone, the terminal reports a hang-up at once: sleep between looks.
      if (!ReadSome(10)) usleep(10000);
      if (!Running()) return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    return -2;
  }
  const std::string& screen() const { return screen_; }

 private:
  bool ReadSome(int milliseconds) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, milliseconds) <= 0) return false;
    char buffer[512];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    screen_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
  std::string screen_;
  size_t seen_ = 0;
};

// (A Wine console converts code pages and line ends; the terminal is the Linux build's.)
TEST(Terminal, EachPromptAppearsBeforeTheProgramWaitsAndTheLastWaitIsForEnterNotUnderWine) {
  const std::string dir = e2e::MakeTempDir();
  const std::string writeLog = dir + "/writes";
  {
    TerminalSession session(writeLog);
    ASSERT_TRUE(session.started());
    const std::pair<const char*, const char*> steps[] = {
        {"Enter the X coordinate of point A: \r\n", "100\r"},
        {"Enter the Y coordinate of point A: \r\n", "200\r"},
        {"\r\nEnter the X coordinate of point B: \r\n", "300\r"},
        {"Enter the Y coordinate of point B: \r\n", "400\r"},
        {"\r\nChoose a well-known coordinate of the map frame corner <X/Y> \r\n", "X\r"},
        {"\r\nEnter the X coordinate of the map frame corner\r\n", "150\r"},
    };
    for (const auto& [prompt, answer] : steps) {
      // The prompt is on the screen before anything is typed: the program shows it, then waits.
      ASSERT_TRUE(session.WaitFor(prompt))
          << "screen so far: " << testing::PrintToString(session.screen());
      ASSERT_TRUE(session.QuietFor(100)) << "nothing more is shown until the value is typed";
      ASSERT_TRUE(session.Running());
      session.Type(answer);
    }
    ASSERT_TRUE(session.WaitFor("X= 150.00m\r\nY= 250.00m\r\n"));
    ASSERT_TRUE(session.WaitFor("*Press Enter to exit*\r\n"));
    // It really waits for Enter.
    EXPECT_TRUE(session.QuietFor(500));
    EXPECT_TRUE(session.Running());
    session.Type("\r");
    EXPECT_EQ(session.WaitExit(), 0);
  }
  // At a terminal every line leaves in a write of its own, as soon as it ends.
  long lines = 0;
  for (const auto& call : e2e::ReadWriteLog(writeLog)) {
    if (call.fd == 1) ++lines;
  }
  EXPECT_EQ(lines, 23);
  e2e::RemoveTree(dir);
}

// Ctrl+D at the start of a line ends the input at every question: a missing answer is reported
// at once, and the last wait, for Enter, ends the run normally. A terminal says "end" once, with
// a read that brings nothing; a read after it would wait for more typing, so nothing may ask
// again (the X/Y question reads its line and then skips to the next one).
struct CtrlDCase {
  const char* name;
  int answersBefore;  // of 100, 200, 300, 400, X, 150, typed before Ctrl+D
  bool reported;      // a missing answer: the report and exit code 1
};

void PrintTo(const CtrlDCase& c, std::ostream* os) { *os << c.name; }

class CtrlD : public testing::TestWithParam<CtrlDCase> {};

TEST_P(CtrlD, AtTheStartOfALineEndsTheInputAtOnceNotUnderWine) {
  const CtrlDCase& c = GetParam();
  static const char* const Prompts[] = {
      "Enter the X coordinate of point A: \r\n",
      "Enter the Y coordinate of point A: \r\n",
      "Enter the X coordinate of point B: \r\n",
      "Enter the Y coordinate of point B: \r\n",
      "Choose a well-known coordinate of the map frame corner <X/Y> \r\n",
      "Enter the X coordinate of the map frame corner\r\n",
      "*Press Enter to exit*\r\n"};
  static const char* const Answers[] = {"100\r", "200\r", "300\r", "400\r", "X\r", "150\r"};
  const std::string dir = e2e::MakeTempDir();
  {
    TerminalSession session(dir + "/writes");
    ASSERT_TRUE(session.started());
    for (int i = 0; i < c.answersBefore; ++i) {
      ASSERT_TRUE(session.WaitFor(Prompts[i])) << testing::PrintToString(session.screen());
      session.Type(Answers[i]);
    }
    ASSERT_TRUE(session.WaitFor(Prompts[c.answersBefore]))
        << testing::PrintToString(session.screen());
    session.Type("\x04");
    if (c.reported) {
      ASSERT_TRUE(session.WaitFor("Exception EInOutError in module framecalc at ", 5000))
          << "screen so far: " << testing::PrintToString(session.screen());
      ASSERT_TRUE(session.WaitFor(".\r\nRead beyond end of file.\r\n\r\n"));
      EXPECT_EQ(session.WaitExit(5000), 1);
      EXPECT_EQ(session.screen().find(Prompts[c.answersBefore + 1]), std::string::npos);
    } else {
      EXPECT_EQ(session.WaitExit(5000), 0)
          << "screen so far: " << testing::PrintToString(session.screen());
      EXPECT_NE(session.screen().find("Y= 250.00m\r\n"), std::string::npos);
    }
  }
  e2e::RemoveTree(dir);
}

INSTANTIATE_TEST_SUITE_P(EveryQuestion, CtrlD,
                         testing::Values(CtrlDCase{"AtAX", 0, true}, CtrlDCase{"AtAY", 1, true},
                                         CtrlDCase{"AtBX", 2, true}, CtrlDCase{"AtBY", 3, true},
                                         CtrlDCase{"AtTheAxis", 4, true}, CtrlDCase{"AtK", 5, true},
                                         CtrlDCase{"AtPressEnter", 6, false}),
                         [](const testing::TestParamInfo<CtrlDCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
