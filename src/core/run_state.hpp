// The run state: every array and scalar of the run, named as the run knows
// them. Integers are 32-bit signed, every real is single precision, and every
// scalar holds zero when the run starts. Arrays are numbered from 1 and laid
// out column after column.
#pragma once

#include <cstddef>
#include <cstdint>

namespace elab {

// The selected rows a run needs, and a split run's training set too.
inline constexpr std::int32_t kLeastRows = 110;

// A matrix of rows x cols reals, column after column, indexed from 1.
struct Matrix {
  float* data = nullptr;
  std::size_t rows = 0;

  float& operator()(std::int64_t i, std::int64_t j) const {
    return data[static_cast<std::size_t>(j - 1) * rows + static_cast<std::size_t>(i - 1)];
  }
  float* column(std::int64_t j) const { return data + static_cast<std::size_t>(j - 1) * rows; }
};

// A series of reals, indexed from 1.
struct Series {
  float* data = nullptr;

  float& operator()(std::int64_t i) const { return data[static_cast<std::size_t>(i - 1)]; }
};

// The one block of memory behind the arrays the run writes into, all zero
// when obtained. M has no block of its own: it is a view of MM.
class ArrayStorage {
 public:
  ArrayStorage() = default;
  ArrayStorage(const ArrayStorage&) = delete;
  ArrayStorage& operator=(const ArrayStorage&) = delete;
  ~ArrayStorage() { release(); }

  // Obtains room for n floats, all zero; false when that is not possible.
  bool obtain(std::size_t n);
  float* data() const { return data_; }

 private:
  void release();
  float* data_ = nullptr;
  std::size_t bytes_ = 0;
};

// DATE's own variables: zero when a run starts, kept between calls.
struct DateVariables {
  std::int32_t IDATA0 = 0;  // first date answered
  std::int32_t IDATA1 = 0;  // last date answered
};

// Statistics of one screening pass over the window ME .. NRR - 20.
struct WindowStats {
  float S = 0.0f, S2 = 0.0f, AM = 0.0f, STD = 0.0f;
  std::int32_t K = 0;
};

struct RunState {
  // Constants, each assigned once at the point the run names.
  std::int32_t IC_G = 0;     // column of the day-of-week code
  std::int32_t IC_CHIU = 0;  // column of the close
  std::int32_t INTERV = 0;   // window of DESM
  std::int32_t INTMOME = 0;  // lag of MOME
  std::int32_t ME90 = 0;     // long window of RMM; first row of the output window
  std::int32_t ME5 = 0;      // short window of RMM
  std::int32_t IG30 = 0;     // window of MAXMIN

  std::int32_t NR = 0;   // rows of the input file
  std::int32_t NC = 0;   // values per row
  std::int32_t IER = 0;  // allocation status
  std::int32_t NRR = 0;  // selected rows
  std::int32_t IVAR = 0;  // chosen forecast variable, 1..11
  float COEFF = 0.0f;     // standard-deviation coefficient of the screening
  std::int32_t ISN = 0;   // answer to both yes/no questions
  std::int32_t IGIO = 0;  // weekday choice
  std::int32_t IC = 0;    // training records written

  WindowStats screening;   // S, S2, AM, STD, K of the screening of PREV
  // With a test date: the statistics of each input series' screening, in
  // the order screened, which the test set's rows are then screened by.
  WindowStats input_stats[9];
  // With a test date: every selected row, while NRR counts the training
  // set's; then the first row of the test set, which has a record only from
  // there on (0: the whole window).
  std::int32_t selected_rows = 0;
  std::int32_t first_test_row = 0;
  WindowStats stdsub_own;  // STDSUB's own statistics
  DateVariables date_own;  // DATE's own variables

  Matrix MM;      // NR x NC, the price matrix as read
  Matrix M;       // NR x NC, the selected rows: a view of MM, which is not
                  // read after the selection, so the rows move up in place
  Matrix GIORNO;  // NR x 5, day-of-week indicators
  Series LUNE;    // Monday flag
  Series VPERC;   // daily percent change of the close
  Series VSEGNO;  // sign flag of VPERC
  Series DESM;    // moving standard deviation of VPERC
  Series MOME;    // momentum ratio
  Series RMM;     // ratio of the short to the long mean close
  Series MAXMIN;  // position of the close in its range
  Matrix OUT;     // NR x 11, candidate forecast variables
  Series PREV;    // chosen forecast variable with outlier marks
  Series V;       // work series of the input screening

  ArrayStorage storage;  // all thirteen arrays
};

// The outlier mark stored in PREV.
inline constexpr float kOutlierMark = 99999.0f;

// Obtains the arrays in one step, sized by NR and NC, and sets IER: 0 when
// they were obtained; nonzero for NR <= 0, NC <= 0, a size that cannot be
// represented, or more memory than this process may write into. The arrays
// start at zero; M is a view of MM.
void allocate_arrays(RunState& st);

// Floats of the block behind the arrays for nr rows of nc values, or 0 when
// that cannot be represented in memory sizes.
std::size_t array_floats(std::int64_t nr, std::int64_t nc);

// Whether a block of array_bytes, with the rest of the run, fits in
// available, the memory this process may still write into.
bool fits_in_memory(std::size_t array_bytes, std::size_t available);

}  // namespace elab
