// The console over files: records with carriage control (the line end in
// front of a record, only when a line is pending), the line state shared
// with console reads or kept apart, the pending line end at closing and at
// the stops, the answer line limit, Ctrl-Z, CR LF answers, and a failing read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console.hpp"
#include "cli/console_read.hpp"
#include "cli/console_write.hpp"
#include "numtext/edit_list.hpp"
#include "numtext/free_form.hpp"
#include "units/io_failure.hpp"
#include "cli/console_end.hpp"
#include "units/run_failure.hpp"
#include "support/dialogue.hpp"
#include "support/scripted_console.hpp"

namespace {

using elab_test::ScriptedConsole;
using units::Console;
using numtext::IoFailure;
using numtext::Target;

// Everything available on a pipe's read end, without waiting.
std::string drain(int fd) {
  std::string s;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    s.append(buf, static_cast<std::size_t>(n));
  }
  return s;
}

// One read statement of one integer, as the dialogue issues it; returns the
// failure number or 0.
int read_int(ScriptedConsole& pc, std::int32_t& v) {
  pc.console().begin_read();
  try {
    numtext::FreeFormReader reader(pc.console().source());
    const Target t = Target::of(v);
    reader.read({&t, 1});
  } catch (const IoFailure& f) {
    return f.number;
  }
  pc.console().end_read();
  return 0;
}

// ---------------------------------------------------------------------------
// Records and carriage control.

struct RecordsCase {
  const char* name;
  std::vector<std::string> records;
  std::string shown;  // after closing the console
};

void PrintTo(const RecordsCase& c, std::ostream* os) { *os << c.name; }

const std::vector<RecordsCase>& records_cases() {
  static const std::vector<RecordsCase> c = {
      {"one", {" abc"}, "abc\r\n"},
      {"two", {" abc", " def"}, "abc\r\ndef\r\n"},
      {"three", {" a", " b", " c"}, "a\r\nb\r\nc\r\n"},
      {"empty_record", {""}, "\r\n"},
      {"empty_then_text", {"", " x"}, "\r\nx\r\n"},
      {"blank_record", {" "}, "\r\n"},
      {"blank_records", {" ", " "}, "\r\n\r\n"},
      {"control_character_never_shown", {"1xyz", "+q"}, "xyz\r\nq\r\n"},
      {"question_of_two_records",
       {" Coeff. da applicare alla st.dev. del valore da prevedere per eliminare", " i valori eccezionali"},
       "Coeff. da applicare alla st.dev. del valore da prevedere per eliminare\r\ni valori eccezionali\r\n"},
  };
  return c;
}

class ConsoleRecords : public ::testing::TestWithParam<RecordsCase> {};

TEST_P(ConsoleRecords, LineEndInFrontAndOnceAtClosing) {
  const RecordsCase& c = GetParam();
  ScriptedConsole pc("", true);
  for (const auto& r : c.records) pc.console().write_record(r);
  EXPECT_TRUE(pc.console().line_pending());
  pc.console().flush();
  // Before closing, the last record has no line end behind it.
  EXPECT_EQ(pc.shown(), c.shown.substr(0, c.shown.size() - 2));
  pc.console().close();
  EXPECT_EQ(pc.shown(), c.shown);
  pc.console().close();  // closing again adds nothing
  EXPECT_EQ(pc.shown(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Records, ConsoleRecords, ::testing::ValuesIn(records_cases()),
                         [](const ::testing::TestParamInfo<RecordsCase>& info) { return info.param.name; });

TEST(ConsoleRecords, NothingWrittenNothingAtClosing) {
  ScriptedConsole pc("", true);
  EXPECT_FALSE(pc.console().line_pending());
  pc.console().close();
  EXPECT_EQ(pc.shown(), "");
}

TEST(ConsoleRecords, FormattedWriteOfSeveralRecords) {
  ScriptedConsole pc("", false);
  const numtext::EditList list = numtext::EditList::parse(
      "(' Intervallo di tempo da elaborare (date=AAMMGG)',/,' da (-1=tutti i dati; 0=dall''inizio)')");
  units::write_console(pc.console(), list);
  pc.console().flush();
  EXPECT_EQ(pc.shown(), elab_test::kDateFrom);
}

TEST(ConsoleRecords, DirectBytesLeaveTheLineStateAlone) {
  ScriptedConsole pc("", true);
  pc.console().write_direct("UNIT 1? ");
  EXPECT_FALSE(pc.console().line_pending());
  pc.console().write_record(" x");
  pc.console().close();
  EXPECT_EQ(pc.shown(), "UNIT 1? x\r\n");
}

// ---------------------------------------------------------------------------
// Records and reads.

// A script of console actions: "W<record>" writes a record, "R" reads one
// integer answer; after it the console is closed.
struct DialogueCase {
  const char* name;
  std::vector<std::string> script;
  std::string answers;
  std::string shared_shown;    // input and output both terminals
  std::string separate_shown;  // one of them redirected
};

void PrintTo(const DialogueCase& c, std::ostream* os) { *os << c.name; }

const std::vector<DialogueCase>& dialogue_cases() {
  static const std::vector<DialogueCase> c = {
      {"question_answer", {"W Q?", "R"}, "5\n", "Q?\r\n", "Q?\r\n"},
      {"question_answer_question", {"W Q?", "R", "W R?"}, "5\n", "Q?\r\nR?\r\n", "Q?\r\nR?\r\n"},
      {"two_line_question", {"W a", "W b", "R", "W c"}, "5\n", "a\r\nb\r\nc\r\n", "a\r\nb\r\nc\r\n"},
      {"read_first", {"R", "W Q"}, "5\n", "Q\r\n", "Q\r\n"},
      {"two_reads", {"W Q", "R", "R", "W Z"}, "5\n6\n", "Q\r\nZ\r\n", "Q\r\nZ\r\n"},
      {"read_last", {"W Q", "R"}, "5\n", "Q\r\n", "Q\r\n"},
      {"only_reads", {"R", "R"}, "5\n6\n", "", ""},
  };
  return c;
}

// Runs check on a console whose reader and writer share one line state,
// then on one whose states are separate.
template <class Check>
void on_both_consoles(const std::string& input, Check check) {
  for (const bool shared : {true, false}) {
    ScriptedConsole pc(input, shared);
    check(pc, shared);
  }
}

class ConsoleDialogue : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(ConsoleDialogue, BytesShown) {
  const DialogueCase& c = GetParam();
  on_both_consoles(c.answers, [&](ScriptedConsole& pc, bool shared) {
    for (const auto& step : c.script) {
      if (step[0] == 'W') {
        pc.console().write_record(step.substr(1));
        EXPECT_TRUE(pc.console().line_pending());
      } else {
        const bool pending_before = pc.console().line_pending();
        std::int32_t v = 0;
        ASSERT_EQ(read_int(pc, v), 0);
        // The end of a read clears the flag only when the states are shared.
        EXPECT_EQ(pc.console().line_pending(), shared ? false : pending_before);
      }
    }
    pc.console().close();
    EXPECT_EQ(pc.shown(), shared ? c.shared_shown : c.separate_shown) << (shared ? "shared" : "separate");
  });
}

INSTANTIATE_TEST_SUITE_P(Scripts, ConsoleDialogue, ::testing::ValuesIn(dialogue_cases()),
                         [](const ::testing::TestParamInfo<DialogueCase>& info) { return info.param.name; });

// The question is on the screen, and with a shared line state so is the line
// end after it, before the console waits for the answer.
TEST(ConsoleDialogue, QuestionShownBeforeTheAnswerIsRead) {
  for (bool shared : {true, false}) {
    ScriptedConsole pc("5\n", shared);
    pc.console().write_record(" Quale variabile in output?");
    pc.console().begin_read();
    EXPECT_EQ(pc.shown(), shared ? "Quale variabile in output?\r\n" : "Quale variabile in output?");
    EXPECT_TRUE(pc.console().line_pending());  // cleared only at the end of the read
    std::int32_t v = 0;
    numtext::FreeFormReader reader(pc.console().source());
    const Target t = Target::of(v);
    reader.read({&t, 1});
    pc.console().end_read();
    EXPECT_EQ(v, 5);
    EXPECT_EQ(pc.console().line_pending(), !shared);
  }
}

TEST(ConsoleDialogue, ReadConsoleFillsTheTarget) {
  ScriptedConsole pc("  -1 \n950101\n", true);
  std::int32_t a = 0, b = 0;
  pc.console().write_record(" Q");
  units::read_console(pc.console(), a);
  units::read_console(pc.console(), b);
  EXPECT_EQ(a, -1);
  EXPECT_EQ(b, 950101);
  float r = 0;
  ScriptedConsole pr("3\r\n", false);
  units::read_console(pr.console(), r);
  EXPECT_EQ(r, 3.0f);
}

TEST(ConsoleDialogue, InteractiveOnlyWhenBothAreTerminals) {
  ScriptedConsole pc("", true);
  EXPECT_FALSE(Console::interactive(pc.out_fd(), pc.out_fd()));
}

// ---------------------------------------------------------------------------
// Answer lines.

struct AnswerCase {
  const char* name;
  std::string input;
  std::vector<std::int32_t> values;  // one per read
  int failure;                       // of the read after them, or 0
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

const std::vector<AnswerCase>& answer_cases() {
  static const std::vector<AnswerCase> c = {
      {"plain", "7\n", {7}, 0},
      {"crlf", "7\r\n", {7}, 0},
      {"two_answers_crlf", "7\r\n8\r\n", {7, 8}, 0},
      {"last_line_without_line_end", "42", {42}, 0},
      {"signs_and_blanks", "  +3  \n", {3}, 0},
      {"empty_lines_are_waited_through", "\n\r\n\n5\n", {5}, 0},
      {"extra_value_ignored", "2 7\n3\n", {2, 3}, 0},
      {"null_keeps_value", ",\n", {-9}, 0},
      {"slash_keeps_value", "/\n4\n", {-9, 4}, 0},
      {"line_of_130", std::string(129, '0') + "5\n", {5}, 0},
      {"line_of_130_crlf", std::string(129, '0') + "5\r\n", {5}, 0},
      {"line_of_130_blanks", "5" + std::string(129, ' ') + "\n", {5}, 0},
      {"line_of_130_last", std::string(129, '0') + "6", {6}, 0},
      {"line_of_131", std::string(130, '0') + "5\n", {}, numtext::fnum::kLineTooLong},
      {"line_of_131_crlf", std::string(130, '0') + "5\r\n", {}, numtext::fnum::kLineTooLong},
      {"line_of_131_blanks", "5" + std::string(130, ' ') + "\n", {}, numtext::fnum::kLineTooLong},
      {"line_of_131_after_good", "1\n" + std::string(131, ' ') + "\n", {1}, numtext::fnum::kLineTooLong},
      {"very_long_line", std::string(100000, '1') + "\n", {}, numtext::fnum::kLineTooLong},
      {"ctrl_z_after_value", "5\x1a\n", {}, numtext::fnum::kEndOfFile},
      {"ctrl_z_alone", "\x1a\n", {}, numtext::fnum::kEndOfFile},
      {"ctrl_z_crlf", "5\x1a\r\n", {}, numtext::fnum::kEndOfFile},
      {"ctrl_z_at_the_end_of_input", "\x1a", {}, numtext::fnum::kEndOfFile},
      {"ctrl_z_after_good_answer", "3\n\x1a\n", {3}, numtext::fnum::kEndOfFile},
      {"ctrl_z_not_last", "\x1a" "5\n", {}, numtext::fnum::kInvalidInteger},
      {"end_of_input", "", {}, numtext::fnum::kEndOfFile},
      {"end_of_input_after_empty_lines", "\n\r\n\n", {}, numtext::fnum::kEndOfFile},
      {"end_of_input_after_answer", "5\n", {5}, numtext::fnum::kEndOfFile},
      {"not_an_integer", "3.0\n", {}, numtext::fnum::kInvalidInteger},
      {"quoted", "'3'\n", {}, numtext::fnum::kQuotedValue},
  };
  return c;
}

class ConsoleAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ConsoleAnswers, ReadInTurn) {
  const AnswerCase& c = GetParam();
  on_both_consoles(c.input, [&](ScriptedConsole& pc, bool) {
    for (std::size_t k = 0; k < c.values.size(); ++k) {
      std::int32_t v = -9;
      ASSERT_EQ(read_int(pc, v), 0) << "answer " << k + 1;
      EXPECT_EQ(v, c.values[k]) << "answer " << k + 1;
    }
    if (c.failure != 0) {
      std::int32_t v = -9;
      EXPECT_EQ(read_int(pc, v), c.failure);
      EXPECT_EQ(v, -9);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Lines, ConsoleAnswers, ::testing::ValuesIn(answer_cases()),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// A failing read and the stops, with the console attached to the run's end.

// Standard error goes to a pipe for the lifetime of this object.
class CapturedStderr {
 public:
  CapturedStderr() {
    int p[2];
    EXPECT_EQ(::pipe(p), 0);
    r_ = p[0];
    ::fcntl(r_, F_SETFL, O_NONBLOCK);
    saved_ = ::dup(STDERR_FILENO);
    ::dup2(p[1], STDERR_FILENO);
    ::close(p[1]);
  }
  ~CapturedStderr() {
    restore();
    ::close(r_);
  }
  std::string text() {
    restore();
    return drain(r_);
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  int r_ = -1, saved_ = -1;
};

TEST(ConsoleEnd, FailingReadReportsAndLeavesTheLineEndToClosing) {
  for (bool shared : {true, false}) {
    ScriptedConsole pc("3.0\n", shared);
    pc.console().write_record(" Quale giorno in output?");
    std::int32_t v = 0;
    CapturedStderr err;
    try {
      units::read_console(pc.console(), v);
      ADD_FAILURE() << "the read did not fail";
    } catch (const units::RunFailure& failure) {
      EXPECT_EQ(failure.status(), 1);
      EXPECT_EQ(failure.code(), "F6101");
      units::show_failure(pc.console(), failure);
      pc.console().close();
    }
    const std::string report = err.text();
    EXPECT_EQ(report.rfind("\r\nrun-time error F6101: READ(CON)\r\n- ", 0), 0u) << report;
    EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
    EXPECT_EQ(report.find('\r', 36), report.size() - 2) << "one message line";
    // The read's line end, then the one exit closing writes for the line
    // still pending; apart, only the latter.
    EXPECT_EQ(pc.shown(), shared ? "Quale giorno in output?\r\n\r\n" : "Quale giorno in output?\r\n");
    EXPECT_EQ(v, 0);
  }
}

TEST(ConsoleEnd, EndOfInputReportsReadFailure) {
  ScriptedConsole pc("", true);
  std::int32_t v = 0;
  try {
    units::read_console(pc.console(), v);
    ADD_FAILURE() << "the read did not fail";
  } catch (const units::RunFailure& failure) {
    EXPECT_EQ(failure.report().rfind("\r\nrun-time error F6501: READ(CON)\r\n- ", 0), 0u);
  }
}

struct StopCase {
  const char* name;
  bool after_read;  // a question was answered just before, on a shared console
  int which;        // 0 plain, 1 with text, 2 with code 99
  std::string shown;
  int status;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

const StopCase kStops[] = {
    {"plain_after_count_line", false, 0, elab_test::count_line(171) + elab_test::kNormalEnd, 0},
    {"text_after_answer", true, 1, "Q\r\n" + elab_test::kDateOrder, 1},
    {"code_after_message", false, 2, elab_test::kNoRoom, 99},
};

class ConsoleStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(ConsoleStops, BytesAndStatus) {
  const StopCase& c = GetParam();
  ScriptedConsole pc("950101\n", true);
  if (c.after_read) {
    pc.console().write_record(" Q");
    std::int32_t v = 0;
    units::read_console(pc.console(), v);
  } else if (c.which == 0) {
    pc.console().write_record(" Record scritti:   171");
  }
  if (c.which == 0) {
    units::show_normal_stop(pc.console());
  } else {
    const units::RunFailure failure =
        c.which == 1 ? units::RunFailure::stop("data finale minore data iniziale", 1)
                     : units::RunFailure::stop_for_memory("Insufficiente spazio per le matrici");
    EXPECT_EQ(failure.status(), c.status);
    units::show_failure(pc.console(), failure);
  }
  pc.console().close();
  EXPECT_EQ(pc.shown(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Stops, ConsoleStops, ::testing::ValuesIn(kStops),
                         [](const ::testing::TestParamInfo<StopCase>& info) { return info.param.name; });

}  // namespace
