// Edit lists and the records a formatted write makes of them: literal text
// with doubled quotes, blanks held back and dropped at a record's end, fields,
// repeat counts and repeated groups, '/', and the walk that stops at the next
// field once the values are used up; the compiled layout against the record
// writer.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numtext/edit_list.hpp"
#include "numtext/fixed_layout.hpp"
#include "numtext/record_writer.hpp"

namespace {

using numtext::EditList;
using numtext::FieldValue;

std::vector<std::string> records_of(const EditList& list, const std::vector<FieldValue>& values) {
  std::vector<std::string> out;
  numtext::RecordWriter writer;
  writer.write(list, values, [&](std::string_view r) { out.emplace_back(r); });
  return out;
}

FieldValue I(std::int32_t v) { return FieldValue::of(v); }
FieldValue R(float v) { return FieldValue::of(v); }

struct WriteCase {
  const char* name;
  const char* list;
  std::vector<FieldValue> values;
  std::vector<std::string> records;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.list; }

const std::vector<WriteCase>& write_cases() {
  static const std::vector<WriteCase> c = {
      {"text", "('abc')", {}, {"abc"}},
      {"text_without_parentheses", "'abc'", {}, {"abc"}},
      {"doubled_quote", "('It''s')", {}, {"It's"}},
      {"only_a_quote", "('''')", {}, {"'"}},
      {"double_quoted", "(\"say \"\"hi\"\"\")", {}, {"say \"hi\""}},
      {"other_quote_inside", "(\"dall'inizio\")", {}, {"dall'inizio"}},
      {"two_texts_one_record", "('ab','cd')", {}, {"abcd"}},
      {"slash", "('ab'/'cd')", {}, {"ab", "cd"}},
      {"slash_with_commas", "('ab',/,'cd')", {}, {"ab", "cd"}},
      {"two_slashes", "('ab'//'cd')", {}, {"ab", "", "cd"}},
      {"slash_alone", "(/)", {}, {"", ""}},
      {"empty_list", "()", {}, {""}},
      {"blanks_before_text", "(3X,'a')", {}, {"   a"}},
      {"blanks_between", "('a',2X,'b')", {}, {"a  b"}},
      {"blanks_at_end_dropped", "('a',3X)", {}, {"a"}},
      {"blanks_before_slash_dropped", "('a',3X,/,2X,'b',4X)", {}, {"a", "  b"}},
      {"blanks_only", "(5X)", {}, {""}},
      {"blanks_add_up", "(1X,2X,'a')", {}, {"   a"}},
      {"integer_field", "(1X,I5)", {I(37)}, {"    37"}},
      {"integer_zero", "(I5)", {I(0)}, {"    0"}},
      {"integer_fewest_digits", "(I4.4,'-',I2.2,'-',I2.2)", {I(1995), I(6), I(1)}, {"1995-06-01"}},
      {"integer_fewest_digits_zero", "(I3.2)", {I(0)}, {" 00"}},
      {"integer_fewest_digits_negative", "(I4.2)", {I(-5)}, {" -05"}},
      {"integer_fewest_digits_too_wide", "(I3.3)", {I(-5)}, {"***"}},
      {"integer_fewest_digits_real_value", "(I2.2)", {R(6.0f)}, {"**"}},
      {"count_line", "(' Record scritti: ',I5)", {I(171)}, {" Record scritti:   171"}},
      {"count_line_zero", "(' Record scritti: ',I5)", {I(0)}, {" Record scritti:     0"}},
      {"count_line_too_many", "(' Record scritti: ',I5)", {I(123456)}, {" Record scritti: *****"}},
      {"count_line_as_wide_as_its_digits", "(' Record scritti: ',I6)", {I(123456)},
       {" Record scritti: 123456"}},
      {"count_line_widest", "(' Record scritti: ',I10)", {I(2147483647)},
       {" Record scritti: 2147483647"}},
      {"repeat_count", "(3I2)", {I(1), I(2), I(3)}, {" 1 2 3"}},
      {"repeat_count_fixed", "(5F3.0)", {R(1), R(0), R(0), R(0), R(0)}, {" 1. 0. 0. 0. 0."}},
      {"group", "(2(1X,I1))", {I(4), I(5)}, {" 4 5"}},
      {"nested_groups", "(2(I1,2(1X,I1),'|'))",
       {I(1), I(2), I(3), I(4), I(5), I(6)}, {"1 2 3|4 5 6|"}},
      {"group_with_slash", "(2('r',I1,/))", {I(1), I(2)}, {"r1", "r2", ""}},
      {"lower_case", "(1x,f8.4,i3)", {R(0.5f), I(7)}, {"    .5000  7"}},
      {"blanks_in_list", "( 1X , F8.4 , 2( 1X , I1 ) )", {R(-1.25f), I(1), I(2)}, {"  -1.2500 1 2"}},
      {"fixed_fields", "(F2.0,1X,F8.4,F3.0)", {R(1), R(0.45f), R(0)}, {"1.    .4500 0."}},
      {"too_wide_keeps_length", "(F8.4,'|',F8.4)", {R(99999), R(1)}, {"********|  1.0000"}},
      // Values used up: the walk goes on through text, blanks and '/' up to
      // the next field, and stops there.
      {"no_values_all_text", "('a',/,'b',I1,'c')", {}, {"a", "b"}},
      {"stops_at_next_field", "('a',I2,'b',I2,'c')", {I(7)}, {"a 7b"}},
      {"stops_before_later_text", "(I1,'x',/,'y',I1,'z')", {I(5)}, {"5x", "y"}},
      {"held_blanks_dropped_at_stop", "(I1,3X,'t',2X,I1)", {I(1)}, {"1   t"}},
      {"stops_in_group", "(3(1X,I1,'.'))", {I(1), I(2)}, {" 1. 2."}},
      {"no_values_text_then_field", "(' Quale giorno in output?',' -1=tutti con 5 dummy; 0=tutti; 2=lun., 3=mar. ecc.')", {},
       {" Quale giorno in output? -1=tutti con 5 dummy; 0=tutti; 2=lun., 3=mar. ecc."}},
      {"no_values_first_item_field", "(I5,'after')", {}, {""}},
  };
  return c;
}

class RecordWriterCases : public ::testing::TestWithParam<WriteCase> {};

TEST_P(RecordWriterCases, Records) {
  const WriteCase& c = GetParam();
  const EditList list = EditList::parse(c.list);
  EXPECT_EQ(records_of(list, c.values), c.records);
}

INSTANTIATE_TEST_SUITE_P(Lists, RecordWriterCases, ::testing::ValuesIn(write_cases()),
                         [](const ::testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

TEST(EditListParse, FieldCountCountsRepeatedFields) {
  EXPECT_EQ(EditList::parse("(1X,F2.0,1X,F2.0,1X,F8.4,5(1X,F8.4))").field_count(), 8);
  EXPECT_EQ(EditList::parse("(5F3.0,2X,F2.0)").field_count(), 6);
  EXPECT_EQ(EditList::parse("(2(I1,2(1X,I1)))").field_count(), 6);
  EXPECT_EQ(EditList::parse("('text',/,3X)").field_count(), 0);
}

TEST(EditListParse, TheQuestionTextsKeepTheirQuotesAndBlanks) {
  const EditList list = EditList::parse("('da (-1=tutti i dati; 0=dall''inizio)')");
  ASSERT_EQ(list.items().size(), 1u);
  EXPECT_EQ(list.items()[0].text, "da (-1=tutti i dati; 0=dall'inizio)");
}

TEST(EditListParse, MalformedListsAreRefused) {
  for (const char* bad : {"(F8)", "(F.4)", "(I)", "('abc)", "((I1)", "(I1", "I1)", "(X)", "(0I2)",
                          "(0(I1))", "(Q1)", "(I1 I2)", "(F8.4 1X)", "(I0)", "(F0.0)", "(I1),",
                          "(F256.1)", "(F10.100)", "(2'ab')", "(I2.3)", "(I2.)"}) {
    EXPECT_THROW(EditList::parse(bad), std::invalid_argument) << bad;
  }
}

// A formatted write of one record, by the record writer and by the compiled
// layout.
std::string write_record(const EditList& list, const std::vector<float>& values) {
  std::vector<FieldValue> fv;
  for (float x : values) fv.push_back(FieldValue::of(x));
  const auto recs = records_of(list, fv);
  EXPECT_EQ(recs.size(), 1u);
  return recs.empty() ? std::string() : recs[0];
}

std::string write_compiled(const EditList& list, const std::vector<float>& values) {
  const numtext::FixedLayout layout(list);
  EXPECT_EQ(layout.field_count(), values.size());
  std::string out(layout.length(), '?');
  layout.write(out.data(), values);
  return out;
}

TEST(CompiledLayout, RefusesListsItCannotCompile) {
  EXPECT_THROW(numtext::FixedLayout(EditList::parse("(F8.4,/,F8.4)")), std::invalid_argument);
  EXPECT_THROW(numtext::FixedLayout(EditList::parse("(I5)")), std::invalid_argument);
}

TEST(CompiledLayout, TextAndFlagFieldsNextToEachOther) {
  // Narrow fields close to literal text and to the record's end.
  const EditList list = EditList::parse("('<',F2.0,'>',F3.0,F2.0,'|',F8.4,F2.0)");
  for (float a : {0.0f, 1.0f, 0.4f, 7.0f}) {
    for (float b : {0.0f, 1.0f, -1.0f}) {
      const std::vector<float> v = {a, b, 1.0f - a, 0.25f, b};
      EXPECT_EQ(write_compiled(list, v), write_record(list, v));
    }
  }
}

}  // namespace
