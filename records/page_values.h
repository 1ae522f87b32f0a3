#pragma once
// Building blocks of the page value structs: what a page shows, as plain values. A page
// copies its widgets into these and back; the record code does the bytes.

#include <array>
#include <cstddef>
#include <string>

namespace ql::records {

// Gas column indexes of the detector records and pages.
inline constexpr std::size_t kH2S = 0;
inline constexpr std::size_t kCO = 1;
inline constexpr std::size_t kO2 = 2;
inline constexpr std::size_t kLEL = 3;

// A row of texts, one per gas, applied only while its check box is checked.
template <std::size_t N>
struct GasTextRow {
  bool checked = false;
  std::array<std::string, N> text;
};

// A row of drop-down lists, one per gas (selected item indexes).
template <std::size_t N>
struct GasListRow {
  bool checked = false;
  std::array<int, N> index{};
};

// A single text field behind a check box.
struct TextOption {
  bool checked = false;
  std::string text;
};

// A single drop-down list behind a check box.
struct ListOption {
  bool checked = false;
  int index = 0;
};

}  // namespace ql::records
