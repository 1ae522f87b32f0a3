#pragma once
// Shared checks behind CheckDockingPage, CheckSingleGasPage and CheckMultiGasPage: each
// returns the refusal sentence for one field, or nullopt when the field may be written.
// Internal to the records layer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rules/field_rules.h"

namespace ql::records::check {

using Refusal = std::optional<std::string>;

// "<label>: <value> is outside <lo> to <hi>"
std::string Outside(std::string_view label, std::string_view value, std::string_view lo,
                    std::string_view hi);

// A numeric field of the detector pages, by its kind and limits. Kinds W and T accept
// "n/a" and 0 (not used) besides their range; all kinds need a plain number (digits, and
// for tenths kinds at most one point).
Refusal NumericText(std::string_view label, const rules::NumericField& field,
                    std::string_view text);

// A whole number between lo and hi. `allowEmpty`: an empty text (encoded as 0) passes.
Refusal WholeRange(std::string_view label, std::string_view text, std::int64_t lo, std::int64_t hi,
                   bool allowEmpty = false);

// The self-test interval: "n/a", 0, or 8 to 20.
Refusal SelfTestText(std::string_view label, std::string_view text);

// A text of at most `maxLength` characters, optionally letters and digits only.
Refusal Text(std::string_view label, std::string_view text, std::size_t maxLength,
             bool lettersAndDigitsOnly);

// A list selection among `count` items.
Refusal ListIndex(std::string_view label, long long index, std::size_t count);

// A check-box byte of a record: 0 or 1.
Refusal Flag(std::string_view label, std::uint32_t value);

// "<caption> <gas>", the label of a field in a gas column.
std::string GasLabel(std::string_view caption, std::string_view gas);

}  // namespace ql::records::check
