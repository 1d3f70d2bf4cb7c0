#include "cli/series_batch.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "numtext/record_writer.hpp"
#include "platform/os.hpp"
#include "platform/side_by_side.hpp"
#include "core/csv_records.hpp"
#include "core/price_file.hpp"
#include "elab/series_names.hpp"
#include "cli/safe_name.hpp"
#include "units/input_file.hpp"
#include "cli/dialogue.hpp"
#include "cli/series_run.hpp"
#include "cli/console_end.hpp"
#include "units/file_open.hpp"
#include "units/output_file.hpp"
#include "units/run_failure.hpp"
#include "numtext/messages.hpp"

namespace elab {
namespace {

constexpr std::string_view kName = "{name}";
constexpr std::string_view kSymbol = "{symbol}";
constexpr std::string_view kAllSymbols = "all";

bool names(std::string_view name, std::string_view field) { return name.find(field) != std::string_view::npos; }

// With --symbol=all, a file of several series becomes one series a symbol,
// the file read once for all of them (pandas' ticker columns: each read
// again); a file whose symbols cannot be listed runs as it is, to fail with
// its own report.
std::vector<SeriesSource> each_symbol(const std::vector<SeriesSource>& files) {
  std::vector<SeriesSource> out;
  for (const SeriesSource& f : files) {
    if (f.table.symbol != kAllSymbols) {
      out.push_back(f);
      continue;
    }
    numtext::TableChoice choice = f.table;
    choice.symbol.reset();
    std::shared_ptr<const numtext::SymbolRecords> table;
    std::vector<std::string> symbols;
    try {
      units::InputFile in(f.file, units::open_price_file(f.file));
      if (auto read = price_file_series(in, choice)) table = std::make_shared<numtext::SymbolRecords>(std::move(*read));
    } catch (const numtext::IoFailure&) {
    } catch (const units::RunFailure&) {
    }
    if (!table) {
      try {
        units::InputFile in(f.file, units::open_price_file(f.file));
        symbols = price_file_symbols(in, choice);
      } catch (const numtext::IoFailure&) {
      } catch (const units::RunFailure&) {
      }
    }
    for (std::size_t k = 0; table && k < table->series.size(); ++k) {
      out.push_back({f.file, f.name, table->series[k].symbol, {}, f.table, table, k});
    }
    for (std::string& s : symbols) out.push_back({f.file, f.name, std::move(s), {}, f.table, nullptr, 0});
    if ((!table || table->series.empty()) && symbols.empty()) out.push_back(f);
  }
  return out;
}

// The choices a series runs with: a symbol of --symbol=all in place of
// "all", none where the file's symbols could not be listed.
numtext::TableChoice table_of(const SeriesSource& series) {
  numtext::TableChoice table = series.table;
  if (table.symbol == kAllSymbols) table.symbol = series.symbol;
  return table;
}

bool is_blank(std::string_view name) { return name.find_first_not_of(" \t") == std::string_view::npos; }

// A count as the record writer shows it, without its leading blanks.
std::string whole_number(std::int64_t n) {
  static const numtext::EditList list = numtext::EditList::parse("(I11)");
  const numtext::FieldValue v = numtext::FieldValue::of(static_cast<std::int32_t>(n));
  std::string text;
  numtext::RecordWriter().write(list, std::span<const numtext::FieldValue>(&v, 1),
                                [&](std::string_view record) { text = record; });
  return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

// A report of the input without the file that leads it.
std::string without_file(const std::string& text, const std::string& file) {
  return text.starts_with(file + ": ") ? text.substr(file.size() + 2) : text;
}

// One line on standard error: the failure, led by the series' file.
std::string failure_line(const SeriesSource& s, const units::RunFailure& f) {
  std::string line = "elab: " + series_place(s) + ": ";
  switch (f.form()) {
    case units::RunFailure::Form::Input:
      // Most reports of the input already begin with the file.
      line += without_file(f.message(), s.file);
      break;
    case units::RunFailure::Form::Report: {
      std::string report = f.report();
      std::replace(report.begin(), report.end(), '\r', ' ');
      std::replace(report.begin(), report.end(), '\n', ' ');
      std::string squeezed;
      for (const char c : report) {
        if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += c;
      }
      while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
      line += squeezed;
      break;
    }
    case units::RunFailure::Form::Stop:
      // The note says in English what the old stop says in Italian.
      if (!f.note().empty()) return line + without_file(f.note(), s.file) + std::string(platform::line_end());
      line += f.message();
      if (f.shows_code()) line += " (" + std::string(numtext::old_text::kReturnCode) + whole_number(f.status()) + ")";
      break;
  }
  if (!f.note().empty()) line += "; " + without_file(f.note(), s.file);
  return line.append(platform::line_end());
}

// How one series ended.
struct Outcome {
  bool ended = false;
  bool written = false;
  bool no_room = false;  // not even its report found memory
  bool console_failed = false;  // an answer could not be read
  std::int32_t count = 0;
  std::optional<std::int32_t> test_count;  // with a test date
  std::int32_t IGIO = 0;
  std::string report;
  std::vector<std::string> warnings;
  std::string rows;  // of the one dataset
};

Outcome run_one(const Invocation& inv, const SeriesSource& s, const Questions& questions,
                units::Console* console, bool dataset) {
  Outcome o;
  try {
    try {
      try {
        const Invocation one = invocation_of(inv, s);
        RunState st;
        SeriesRun run{one, questions, console, [&](const std::string& w) {
                        if (console != nullptr) {
                          units::show_warning(*console, w, platform::line_end());
                        } else {
                          o.warnings.push_back(w);
                        }
                      }};
        if (dataset) run.dataset = &o.rows;
        run.series = s.label;
        run.table = s.read_once.get();
        run.table_series = s.read_once_series;
        const SeriesCounts counts = run_series(st, run);
        o.count = counts.records;
        o.test_count = counts.test;
        o.IGIO = st.IGIO;
        o.written = true;
      } catch (const std::bad_alloc&) {
        // The arrays are given back first.
        throw units::RunFailure::stop_for_memory(numtext::old_text::kNoMemory);
      }
    } catch (const units::RunFailure& f) {
      o.report = failure_line(s, f);
      o.console_failed = console != nullptr && f.report().find("(CON)") != std::string::npos;
    } catch (const UsageError& e) {
      // An empty name, or files that became one after the batch's check:
      // this series' failure.
      o.report = "elab: " + series_place(s) + ": " + e.message + std::string(platform::line_end());
    }
  } catch (const std::bad_alloc&) {
    o.no_room = true;
  }
  o.ended = true;
  return o;
}

// What the user sees of the batch: each series' end in the order given,
// and on a terminal one line of progress on standard error.
class Shown {
 public:
  // end_line: the end line of files or of series
  Shown(units::Console& console, std::size_t total, numtext::Msg end_line, units::OutputFile* dataset)
      : console_(console),
        total_(total),
        end_line_(end_line),
        dataset_(dataset),
        err_(platform::std_stream(platform::StdStream::err)),
        progress_(platform::is_console(err_)) {}

  void progress(std::size_t ended, const std::string& file) {
    if (!progress_) return;
    std::string line = "\r[";
    line.append(whole_number(static_cast<std::int64_t>(ended))).append("/");
    line.append(whole_number(static_cast<std::int64_t>(total_))).append("] ").append(file);
    // Blanks over what is left of a longer line: no terminal codes needed.
    const std::size_t shown = line.size() - 1;
    if (shown < progress_shown_) line.append(progress_shown_ - shown, ' ');
    console_.end_line();  // not over the last file's line, when both are the terminal
    to_err(line);
    progress_shown_ = shown;
  }

  void series(const SeriesSource& s, Outcome& o) {
    clear_progress();
    for (const std::string& w : o.warnings) units::show_warning(console_, w, platform::line_end());
    if (o.written && dataset_ != nullptr) take_rows(o);
    if (o.written) {
      ++written_;
      const std::string records =
          s.label + ":" + std::string(numtext::old_text::kRecordsWritten) + whole_number(o.count);
      console_.write_line(o.test_count ? numtext::message(numtext::Msg::series_with_test_records,
                                                          {records, whole_number(*o.test_count)})
                                       : records);
    } else {
      ++failed_;
      to_err(o.no_room ? "elab: " + series_place(s) + ": " + std::string(numtext::old_text::kNoMemory) +
                             std::string(platform::line_end())
                       : o.report);
    }
  }

  // The dataset in place and the last line; the status.
  int end() {
    clear_progress();
    if (dataset_ != nullptr && dataset_failure_.empty() && written_ > 0) {
      try {
        dataset_->close();
      } catch (const units::RunFailure& f) {
        dataset_failure_ = f.report();
      }
    }
    if (!dataset_failure_.empty()) {
      to_err(dataset_failure_);
      failed_ += written_;
      written_ = 0;
    }
    console_.write_line(numtext::message(end_line_, {whole_number(static_cast<std::int64_t>(total_)),
                                                     whole_number(written_), whole_number(failed_)}));
    return failed_ == 0 ? 0 : 1;
  }

 private:
  void take_rows(Outcome& o) {
    if (!dataset_failure_.empty()) return;
    try {
      if (!header_written_) dataset_->write_text(csv_header(o.IGIO, true, o.test_count.has_value()));
      header_written_ = true;
      dataset_->write_text(o.rows);
    } catch (const units::RunFailure& f) {
      dataset_failure_ = f.report();
    }
    std::string().swap(o.rows);
  }

  void clear_progress() {
    if (progress_shown_ == 0) return;
    std::string blanks(progress_shown_ + 2, ' ');
    blanks.front() = '\r';
    blanks.back() = '\r';
    to_err(blanks);
    progress_shown_ = 0;
  }

  void to_err(const std::string& text) {
    console_.flush();
    (void)platform::write_all(err_, text.data(), text.size());
  }

  units::Console& console_;
  std::size_t total_;
  numtext::Msg end_line_;
  units::OutputFile* dataset_;
  platform::Handle err_;
  bool progress_;
  std::size_t progress_shown_ = 0;  // the length of the line shown
  bool header_written_ = false;
  std::string dataset_failure_;
  std::int64_t written_ = 0, failed_ = 0;
};

// The series after the dialogue, each on a thread of its own, at most jobs
// at a time; the calling thread sleeps until one ends and shows it.
class SideBySide {
 public:
  SideBySide(const Invocation& inv, const std::vector<SeriesSource>& series, std::size_t first,
             const Answers& answers, bool dataset)
      : inv_(inv), series_(series), next_(first), questions_(answers), dataset_(dataset),
        outcomes_(series.size()) {}

  void run(Shown& shown, int jobs) {
    std::vector<std::thread> threads;
    // Read before the first thread moves it.
    const std::size_t shown_from = next_, left = series_.size() - next_;
    platform::set_runs_waiting(static_cast<std::int64_t>(left));
    for (std::size_t k = 0; k < static_cast<std::size_t>(jobs) && k < left; ++k) {
      try {
        threads.push_back(platform::start_thread([](void* self) { static_cast<SideBySide*>(self)->work(); }, this));
      } catch (const std::system_error&) {
        break;  // a process limit: the threads there are do the work
      }
    }
    if (threads.empty()) work();
    std::size_t in_order = shown_from, ended_seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (in_order < series_.size()) {
      ended_.wait(lock, [&] { return ended_count_ != ended_seen; });
      ended_seen = ended_count_;
      const std::size_t last = last_ended_;
      std::vector<std::pair<std::size_t, Outcome>> ready;
      for (; in_order < series_.size() && outcomes_[in_order].ended; ++in_order) {
        ready.emplace_back(in_order, std::move(outcomes_[in_order]));
      }
      lock.unlock();
      for (auto& [k, o] : ready) shown.series(series_[k], o);
      if (in_order < series_.size()) shown.progress(shown_from + ended_seen, series_[last].file);
      lock.lock();
    }
    lock.unlock();
    for (std::thread& t : threads) t.join();
    platform::set_runs_waiting(0);
  }

 private:
  void work() {
    for (;;) {
      std::size_t k = 0;
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (next_ == series_.size()) return;
        k = next_++;
        platform::set_runs_waiting(static_cast<std::int64_t>(series_.size() - next_));
      }
      Outcome o = run_one(inv_, series_[k], questions_, nullptr, dataset_);
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        outcomes_[k] = std::move(o);
        ++ended_count_;
        last_ended_ = k;
      }
      ended_.notify_one();
    }
  }

  const Invocation& inv_;
  const std::vector<SeriesSource>& series_;
  std::size_t next_;
  const Questions questions_;
  bool dataset_;
  std::mutex mutex_;
  std::condition_variable ended_;
  std::vector<Outcome> outcomes_;
  std::size_t ended_count_ = 0;
  std::size_t last_ended_ = 0;
};

}  // namespace

std::string series_place(const SeriesSource& series) {
  return series.symbol ? series.file + " (" + *series.symbol + ")" : series.file;
}

std::vector<SeriesSource> series_of(const Invocation& inv) {
  std::vector<SeriesSource> series;
  if (!inv.price_file) return series;
  std::vector<std::string> files{*inv.price_file};
  files.insert(files.end(), inv.more_files.begin(), inv.more_files.end());
  const std::vector<std::string> names = series_names(files);
  for (std::size_t k = 0; k < files.size(); ++k) {
    const std::optional<Source>* own = k < inv.file_options.size() ? &inv.file_options[k] : nullptr;
    const std::string name = own && *own && (*own)->name ? *(*own)->name : names[k];
    series.push_back({files[k], name, std::nullopt, name, own && *own ? (*own)->over(inv.table) : inv.table, nullptr, 0});
  }
  return series;
}

std::vector<SeriesSource> batch_series(const Invocation& inv) {
  std::vector<SeriesSource> series = each_symbol(series_of(inv));
  // A symbol as it is; where two files hold it, led by its file's name.
  std::map<std::string, int> holders;
  for (const SeriesSource& s : series) ++holders[s.symbol.value_or(s.name)];
  for (SeriesSource& s : series) {
    s.label = s.symbol.value_or(s.name);
    if (s.symbol && holders[s.label] > 1) s.label = s.name + "/" + *s.symbol;
  }
  return series;
}

bool has_template(std::string_view name) {
  return name.find(kName) != std::string_view::npos || name.find(kSymbol) != std::string_view::npos;
}

std::string expand_template(std::string_view name, const SeriesSource& series) {
  std::string out;
  const auto put = [&](std::string_view field, const std::string& value) {
    if (value.empty()) throw UsageError{numtext::message(numtext::Msg::empty_template_field, {field})};
    out += safe_file_name(value);
  };
  for (std::size_t at = 0; at < name.size();) {
    if (name.substr(at).starts_with(kName)) {
      put(kName, series.name);
      at += kName.size();
    } else if (name.substr(at).starts_with(kSymbol)) {
      put(kSymbol, series.symbol.value_or(series.name));
      at += kSymbol.size();
    } else {
      out += name[at++];
    }
  }
  return out;
}

Invocation invocation_of(const Invocation& inv, const SeriesSource& series) {
  Invocation one = inv;
  one.price_file = series.file;
  one.more_files.clear();
  one.table = table_of(series);
  one.output = expand_template(inv.output, series);
  if (inv.dates) one.dates = expand_template(*inv.dates, series);
  return one;
}

Invocation one_series(const Invocation& inv) {
  if (!inv.price_file) return inv;
  return invocation_of(inv, series_of(inv).front());
}

bool all_symbols(const Invocation& inv) {
  return inv.table.symbol == kAllSymbols ||
         std::any_of(inv.file_options.begin(), inv.file_options.end(),
                     [](const std::optional<Source>& s) { return s && s->symbol == kAllSymbols; });
}

bool runs_as_batch(const Invocation& inv) { return !inv.more_files.empty() || all_symbols(inv); }

std::optional<std::string> several_files_error(const Invocation& inv) {
  using numtext::Msg;
  if (inv.more_files.empty()) return std::nullopt;
  std::map<std::string, std::string> named;
  for (const SeriesSource& s : series_of(inv)) {
    if (s.file == "-") return numtext::message(Msg::standard_input_among_several);
    if (is_blank(s.file)) return numtext::message(Msg::blank_among_several);
    // Names of the rule stay equal only where the files are spelled alike;
    // those a sources file gives may meet.
    const auto [at, fresh] = named.emplace(s.name, s.file);
    if (fresh) continue;
    if (at->second == s.file) return numtext::message(Msg::price_file_twice, {s.file});
    return numtext::message(Msg::two_series_one_name, {s.name, at->second, s.file});
  }
  return std::nullopt;
}

std::optional<std::string> batch_usage_error(const Invocation& inv) {
  using numtext::Msg;
  const bool templated = has_template(inv.output) || (inv.dates && has_template(*inv.dates));
  if (!all_symbols(inv) && (names(inv.output, kSymbol) || (inv.dates && names(*inv.dates, kSymbol)))) {
    return numtext::message(Msg::symbol_template_needs_all);
  }
  if (all_symbols(inv)) {
    const bool dataset = inv.csv && !has_template(inv.output);
    if (!dataset && !names(inv.output, kSymbol)) return numtext::message(Msg::all_symbols_need_output_template);
    if (inv.dates && !names(*inv.dates, kSymbol)) return numtext::message(Msg::all_symbols_need_dates_template);
    if (!inv.more_files.empty() && ((!dataset && !names(inv.output, kName)) ||
                                    (inv.dates && !names(*inv.dates, kName)))) {
      return numtext::message(Msg::files_and_symbols_need_both_templates);
    }
  }
  if (templated && !inv.price_file) return numtext::message(Msg::name_template_needs_price_file);
  if (inv.more_files.empty()) return std::nullopt;
  if (const auto refused = several_files_error(inv)) return refused;
  if (!has_template(inv.output) && !inv.csv) return numtext::message(Msg::files_need_output_template);
  if (inv.dates && !has_template(*inv.dates)) return numtext::message(Msg::files_need_dates_template);
  return std::nullopt;
}

namespace {

// Equal for two names of one file, however spelled.
std::string identity_key(const platform::Identity& id, const std::string& name) {
  if (id.exists) return "file " + std::to_string(id.device) + ":" + std::to_string(id.file);
  return "path " + (id.path.empty() ? name : id.path);
}

// A file the batch writes: by which series (none: the one dataset) and
// which option.
struct Writer {
  const SeriesSource* series;
  std::string_view option;
};

std::string writer_text(const Writer& w) {
  if (w.series == nullptr) return numtext::message(numtext::Msg::option_of_dataset, {w.option});
  return numtext::message(numtext::Msg::option_of_series, {w.option, series_place(*w.series)});
}

class BatchFiles {
 public:
  explicit BatchFiles(const std::vector<SeriesSource>& series) {
    for (const SeriesSource& s : series) prices_.emplace(identity_key(identity_of_input(s.file), s.file), &s);
  }

  void claim(const Writer& w, const std::string& name) {
    const std::string key = identity_key(identity_of_output(name), name);
    if (const auto in = prices_.find(key); in != prices_.end()) {
      const SeriesSource& prices = *in->second;
      if (w.series == nullptr || w.series->file == prices.file) {
        throw UsageError{series_place(prices) + ": " +
                         numtext::message(numtext::Msg::price_file_and_option_same, {w.option})};
      }
      throw UsageError{series_place(*w.series) + ": " +
                       numtext::message(numtext::Msg::would_overwrite_price_file, {w.option, name, prices.file})};
    }
    const auto [at, fresh] = written_.emplace(key, w);
    if (!fresh) {
      throw UsageError{numtext::message(numtext::Msg::written_twice, {name, writer_text(at->second), writer_text(w)})};
    }
  }

 private:
  std::map<std::string, const SeriesSource*> prices_;
  std::map<std::string, Writer> written_;
};

}  // namespace

void check_batch_files(const Invocation& inv, const std::vector<SeriesSource>& series) {
  BatchFiles files(series);
  const bool dataset = inv.csv && !has_template(inv.output);
  if (dataset) {
    files.claim({nullptr, "--output"}, inv.output);
    std::map<std::string, const SeriesSource*> labels;
    for (const SeriesSource& s : series) {
      const auto [at, fresh] = labels.emplace(s.label, &s);
      if (!fresh) {
        throw UsageError{numtext::message(numtext::Msg::two_series_one_name_in_dataset,
                                          {s.label, series_place(*at->second), series_place(s)})};
      }
    }
  }
  for (const SeriesSource& s : series) {
    std::optional<Invocation> one;
    try {
      one = invocation_of(inv, s);
    } catch (const UsageError&) {
      continue;  // an empty name: the series fails when it runs
    }
    if (!dataset) files.claim({&s, "--output"}, one->output);
    if (one->dates) files.claim({&s, "--dates"}, *one->dates);
  }
}

int check_batch(const Invocation& inv, units::Console& console) {
  bool found = false;
  for (const SeriesSource& s : batch_series(inv)) {
    console.write_line(series_place(s) + ":");
    Invocation one = inv;
    one.price_file = s.file;
    one.more_files.clear();
    one.table = table_of(s);
    try {
      try {
        found = check_series(one, console, true, s.read_once.get(), s.read_once_series) || found;
      } catch (const std::bad_alloc&) {
        throw units::RunFailure::stop_for_memory(numtext::old_text::kNoMemory);
      }
    } catch (const units::RunFailure& f) {
      const std::string line = failure_line(s, f);
      console.flush();
      (void)platform::write_all(platform::std_stream(platform::StdStream::err), line.data(), line.size());
      found = true;
    }
  }
  return found ? 1 : 0;
}

int run_batch(const Invocation& inv, units::Console& console) {
  const std::vector<SeriesSource> series = batch_series(inv);
  const bool dataset = inv.csv && !has_template(inv.output);
  check_batch_files(inv, series);
  std::unique_ptr<units::OutputFile> one;
  if (dataset) {
    try {
      one = open_output(inv.output);
    } catch (const units::RunFailure& f) {
      units::show_failure(console, f);
      return 1;
    }
  }
  Shown shown(console, series.size(), all_symbols(inv) ? numtext::Msg::batch_end_series : numtext::Msg::batch_end_files,
               one.get());
  // The answers not given are asked once, on the first series that gets as
  // far as each question, and held for all the others.
  Answers answers = inv.answers;
  std::size_t next = 0;
  for (; next < series.size() && !answers.complete(); ++next) {
    Answers heard = answers;
    ConsoleAsker asker(console);
    HeardAsker hearing(asker, heard);
    const Questions questions(hearing, answers);
    Outcome o = run_one(inv, series[next], questions, &console, dataset);
    answers = heard;
    shown.series(series[next], o);
    if (o.console_failed) {
      // No answer can be had for the others either.
      while (++next < series.size()) {
        Outcome not_run;
        not_run.report = "elab: " + series_place(series[next]) + ": " +
                         numtext::message(numtext::Msg::not_run_no_answers) + std::string(platform::line_end());
        shown.series(series[next], not_run);
      }
    }
  }
  if (next < series.size()) {
    SideBySide rest(inv, series, next, answers, dataset);
    // Each run holds up to two temporaries that an ending signal removes.
    const int most = static_cast<int>((platform::kMostTemporaries - 1) / 2);
    rest.run(shown, std::min(inv.jobs > 0 ? inv.jobs : platform::processors_usable(), most));
  }
  return shown.end();
}

}  // namespace elab
