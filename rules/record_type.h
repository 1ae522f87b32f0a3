#pragma once
// The three things the tool configures. Each has its record, its page, its configuration
// file and its firmware family, so one enum names them everywhere.

namespace ql {

enum class RecordType { Docking, SingleGas, MultiGas };

}  // namespace ql
