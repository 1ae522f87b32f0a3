#pragma once
// The three records as words: one `Label: value` line per field, in the page's order,
// with the page's own labels and value forms. The one table of fields lives here, so the
// window, the command-line tool and the tests name and show a field the same way.
//
// Labels are the fields' accessible names on the pages: a plain field by its caption
// ("Maximum Bump Time"), a grid field by its row caption and gas ("Low Alarm H2S"), a
// row's check box by the row caption ("Low Alarm"). Values are what the page shows:
// texts as they stand, check boxes "on" or "off", list choices by their item text,
// numbers in the page's units ("n/a" for an interval or alarm not used), the gas bottle
// date as YYYY-MM-DD.
//
// Editing goes through the page: the record is shown on page values, the named fields
// are set and checked with the page's own limits, the page is encoded, and only the bytes
// of the named fields are taken into the record. Every other byte stays as it was, bytes
// the page never shows included. Pure and single-threaded.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/docking_info.h"
#include "records/multi_gas.h"
#include "records/single_gas.h"
#include "rules/record_type.h"

namespace ql::records {

// How a field shows its value.
enum class FieldForm {
  Text,    // free text (letters and digits only where the page filters them)
  Number,  // a numeric entry field
  Switch,  // a check box: "on" or "off"
  Choice,  // a drop-down list: one of `choices`
  Date,    // a date picker: YYYY-MM-DD
};

// A run of record bytes that holds (part of) a field's value.
struct ByteRun {
  std::size_t offset = 0;
  std::size_t size = 0;
};

// One field of a page, bound to its page values `Page`.
template <class Page>
struct PageField {
  std::string label;
  FieldForm form = FieldForm::Text;
  std::vector<std::string_view> choices;  // Choice only, in list order
  // The record bytes the field's value is stored in.
  std::vector<ByteRun> bytes;
  // The label of the row check box the field belongs to; empty for a field without one.
  // Checking a row writes its fields' shown values, as the page's Write does.
  std::string row;
  // The value as the page shows it.
  std::function<std::string(const Page&)> get;
  // Puts a value in the page's form into `page`; false for a text that is no value of
  // the field's form (not "on"/"off", not an item of the list, not a date). Limits are
  // checked afterwards, with the page's own check.
  std::function<bool(Page&, std::string_view)> set;
};

// The fields of each page, in the page's order.
const std::vector<PageField<DockingPageValues>>& DockingFields();
const std::vector<PageField<SingleGasPageValues>>& SingleGasFields();
const std::vector<PageField<MultiGasPageValues>>& MultiGasFields();

// The label of a grid field: "<row caption> <gas>".
std::string GridLabel(std::string_view caption, std::string_view gas);
// The label of the one field of a row whose check box bears the row's caption:
// "<row caption> Value".
std::string ValueLabel(std::string_view caption);

// --- Whole records ----------------------------------------------------------------------

// The record length of a type: 64, 112 or 100.
std::size_t RecordSize(RecordType type);
// The type of a record by its length; nullopt for any other length.
std::optional<RecordType> RecordTypeOfSize(std::size_t size);
// "docking", "tkl" or "rvx".
std::string_view RecordTypeWord(RecordType type);

// One shown field.
struct ShownField {
  std::string label;
  std::string value;
};

// The fields of a record as the page shows them, read onto the page's start values.
// `bytes` must hold RecordSize(type) bytes.
std::vector<ShownField> ShowRecord(RecordType type, std::span<const std::uint8_t> bytes);

// The record as text: one "Label: value" line per field, each ending in '\n'.
std::string RecordText(RecordType type, std::span<const std::uint8_t> bytes);

// Why the record shows something other than what it holds (a value the page would
// change or refuse on reading), or nullopt when it shows exactly what it holds.
std::optional<std::string> RecordWarning(RecordType type, std::span<const std::uint8_t> bytes);

// One edit: a field's label and its new value in the page's form.
struct FieldEdit {
  std::string label;
  std::string value;
};

// Reads "Label=value" (the command line's form). nullopt when there is no '='.
std::optional<FieldEdit> ParseAssignment(std::string_view text);

// Reads "Label: value" lines (RecordText's form). Empty lines are skipped; a line
// without ": " gives an error naming its number. Returns the edits, or the error.
struct ParsedText {
  std::vector<FieldEdit> edits;
  std::string error;  // empty on success
};
ParsedText ParseRecordText(std::string_view text);

// Applies `edits` to the record in `bytes` (RecordSize(type) bytes). A field not named
// keeps its value and its bytes. Refuses, leaving `bytes` unchanged, an unknown label
// ("<label>: no such field"), a field named twice, a value that is not of the field's
// form ("<label>: <value> is not one of on, off") and a value the page would refuse
// (its check's sentence: "<label>: <value> is outside <lo> to <hi>"). Returns nullopt on
// success, else the refusal.
std::optional<std::string> ApplyEdits(RecordType type, std::span<std::uint8_t> bytes,
                                      std::span<const FieldEdit> edits);

// A field whose shown value differs between two records.
struct FieldDifference {
  std::string label;
  std::string before;
  std::string after;
};

// The fields that show differently in `a` and `b`, in page order.
std::vector<FieldDifference> DiffRecords(RecordType type, std::span<const std::uint8_t> a,
                                         std::span<const std::uint8_t> b);

}  // namespace ql::records
