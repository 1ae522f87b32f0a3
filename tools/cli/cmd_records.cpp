// Records as words: show a record (a configuration file or the station's), compare two,
// and set fields of a file, all through the table of records/record_text.h, so the labels,
// the value forms and the limits are the pages' own.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "io/staged_file.h"
#include "records/record_text.h"
#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using protocol::DeviceType;

// Larger than any record: a bigger file is refused without reading it whole.
constexpr std::size_t kFileLimit = 4096;

// A record and where it came from, for messages.
struct LoadedRecord {
  RecordType type = RecordType::Docking;
  Bytes bytes;
};

bool IsStationTarget(const CommandContext& ctx, const std::string& word) {
  return !ctx.options.port.empty() && (word == "docking" || word == "detector");
}

// Reads a configuration file; its type from --type or else from its size. nullopt after
// saying why on err.
std::optional<LoadedRecord> LoadFile(const CommandContext& ctx, const std::string& path,
                                     const std::optional<RecordType>& wanted) {
  const auto bytes = io::ReadWholeFile(path, kFileLimit);
  if (!bytes) {
    ctx.err << "quaylink-cli: cannot read " << path << "\n";
    return std::nullopt;
  }
  const auto bySize = records::RecordTypeOfSize(bytes->size());
  if (wanted && records::RecordSize(*wanted) != bytes->size()) {
    ctx.err << "quaylink-cli: " << path << " (" << bytes->size()
            << " bytes) is not a record of type " << records::RecordTypeWord(*wanted) << " ("
            << records::RecordSize(*wanted) << " bytes)\n";
    return std::nullopt;
  }
  if (!bySize) {
    ctx.err << "quaylink-cli: " << path << " (" << bytes->size()
            << " bytes) is not a record (64 bytes docking, 112 bytes TKL, 100 bytes RVX)\n";
    return std::nullopt;
  }
  return LoadedRecord{wanted.value_or(*bySize), *bytes};
}

// Reads the station's docking or detector record, as `read` does. On failure returns the
// exit code, its reason already said.
struct StationRead {
  std::optional<LoadedRecord> record;
  ExitCode code = ExitCode::Ok;
};

StationRead LoadFromStation(const CommandContext& ctx, const std::string& target) {
  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return {{}, c};
  auto& ui = session.Ui();
  RecordType type = RecordType::Docking;
  if (target != "docking") {
    type = session.StationType() == DeviceType::MultiGas ? RecordType::MultiGas
                                                         : RecordType::SingleGas;
  }
  // A single-gas or multi-gas station has just read both records by itself.
  engine::RequestEnd end;
  if (session.AutomaticRead()) {
    end = *session.AutomaticRead();
  } else {
    ui.selectedTab = type == RecordType::Docking ? engine::kTabDocking : engine::kTabDetector;
    end = session.Run(protocol::cmd::kReadRecord, [&] { session.Engine().PageRead(type); });
  }
  if (end.outcome != engine::RequestOutcome::Done) return {{}, ExitCodeOf(end)};
  const auto it = ui.received.find(type);
  if (it == ui.received.end() || it->second.size() != records::RecordSize(type)) {
    ctx.err << "quaylink-cli: the station sent no " << target << " record\n";
    return {{}, ExitCode::Refused};
  }
  return {LoadedRecord{type, it->second}, ExitCode::Ok};
}

std::optional<RecordType> TypeOption(const std::string& word) {
  RecordType type;
  if (word.empty() || !ParseFamily(word, type)) return std::nullopt;
  return type;
}

ExitCode Show(const CommandContext& ctx, const std::string& source, const std::string& typeWord,
              bool json) {
  std::optional<LoadedRecord> record;
  if (IsStationTarget(ctx, source)) {
    if (!typeWord.empty()) {
      ctx.err << "quaylink-cli: --type is for files; the station names its own record\n";
      return ExitCode::UsageOrFile;
    }
    StationRead read = LoadFromStation(ctx, source);
    if (!read.record) return read.code;
    record = std::move(read.record);
  } else {
    record = LoadFile(ctx, source, TypeOption(typeWord));
    if (!record) return ExitCode::UsageOrFile;
  }
  if (const auto warning = records::RecordWarning(record->type, record->bytes)) {
    ctx.err << "quaylink-cli: warning: the record holds a value the page shows changed: "
            << *warning << "\n";
  }
  const auto fields = records::ShowRecord(record->type, record->bytes);
  if (json) {
    // Page order, as the text shows it.
    nlohmann::ordered_json object;
    object["type"] = std::string(records::RecordTypeWord(record->type));
    object["fields"] = nlohmann::ordered_json::object();
    for (const auto& field : fields) object["fields"][field.label] = field.value;
    ctx.out << object.dump(2) << "\n";
  } else {
    for (const auto& field : fields) ctx.out << field.label << ": " << field.value << "\n";
  }
  return ExitCode::Ok;
}

void PrintDifferences(const CommandContext& ctx,
                      const std::vector<records::FieldDifference>& differences) {
  for (const auto& d : differences) {
    ctx.out << d.label << ": " << d.before << " \u2192 " << d.after << "\n";
  }
}

// As diff(1): 0 equal, 1 different, 2 trouble. A station that cannot be read is trouble
// too: its failures never give 1, which here means "different".
ExitCode Diff(const CommandContext& ctx, const std::string& first, const std::string& second,
              const std::string& typeWord) {
  const auto wanted = TypeOption(typeWord);
  std::optional<LoadedRecord> a;
  if (IsStationTarget(ctx, first)) {
    StationRead read = LoadFromStation(ctx, first);
    if (!read.record) {
      return read.code == ExitCode::NoAnswer ? ExitCode::NoAnswer : ExitCode::UsageOrFile;
    }
    a = std::move(read.record);
  } else {
    a = LoadFile(ctx, first, wanted);
    if (!a) return ExitCode::UsageOrFile;
  }
  const auto b = LoadFile(ctx, second, wanted.value_or(a->type));
  if (!b) return ExitCode::UsageOrFile;
  const auto differences = records::DiffRecords(a->type, a->bytes, b->bytes);
  PrintDifferences(ctx, differences);
  return differences.empty() ? ExitCode::Ok : ExitCode::Refused;
}

ExitCode Set(const CommandContext& ctx, const std::string& path,
             const std::vector<std::string>& assignments, const std::string& outPath,
             const std::string& typeWord) {
  std::vector<records::FieldEdit> edits;
  for (const auto& text : assignments) {
    const auto edit = records::ParseAssignment(text);
    if (!edit) {
      ctx.err << "quaylink-cli: " << text << " is not Label=value\n";
      return ExitCode::UsageOrFile;
    }
    edits.push_back(*edit);
  }
  const auto record = LoadFile(ctx, path, TypeOption(typeWord));
  if (!record) return ExitCode::UsageOrFile;
  Bytes bytes = record->bytes;
  if (const auto refusal = records::ApplyEdits(record->type, bytes, edits)) {
    ctx.err << *refusal << "\n";
    return ExitCode::Refused;
  }

  // Written whole under a temporary name, then renamed over the old file: a failed write
  // leaves the old file as it was.
  const fs::path target = outPath.empty() ? fs::path(path) : fs::path(outPath);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  io::StagedFile file;
  if (!file.Create(folder, target.filename().string()) || !file.Write(bytes) || !file.Commit()) {
    ctx.err << "quaylink-cli: cannot write " << target.string() << ": " << file.Error() << "\n";
    return ExitCode::UsageOrFile;
  }
  PrintDifferences(ctx, records::DiffRecords(record->type, record->bytes, bytes));
  return ExitCode::Ok;
}

}  // namespace

void AddRecordsCommands(CLI::App& group, CommandContext& ctx) {
  struct ShowWords {
    std::string source;
    std::string type;
    bool json = false;
  };
  const auto show = std::make_shared<ShowWords>();
  CLI::App* showCommand = group.add_subcommand(
      "show", "Print a record's fields as the pages show them, one \"Label: value\" a line.");
  showCommand
      ->add_option("source", show->source,
                   "A configuration file, or with --port: docking or detector (the station's)")
      ->required()
      ->type_name("FILE|docking|detector");
  showCommand->add_option("--type", show->type, "The file's record type (else from its size)")
      ->check(CLI::IsMember({"docking", "tkl", "rvx"}))
      ->type_name("docking|tkl|rvx");
  showCommand->add_flag("--json", show->json,
                        "One JSON object: the record type and its fields keyed by label");
  showCommand->callback(
      [&ctx, show] { ctx.result = Show(ctx, show->source, show->type, show->json); });

  struct DiffWords {
    std::string first;
    std::string second;
    std::string type;
  };
  const auto diff = std::make_shared<DiffWords>();
  CLI::App* diffCommand = group.add_subcommand(
      "diff", "List the fields that differ, \"label: old \u2192 new\"; exit 0 equal, 1 different.");
  diffCommand
      ->add_option("first", diff->first,
                   "A configuration file, or with --port: docking or detector (the station's)")
      ->required()
      ->type_name("A|docking|detector");
  diffCommand->add_option("second", diff->second, "A configuration file")
      ->required()
      ->type_name("B");
  diffCommand->add_option("--type", diff->type, "The files' record type (else from their size)")
      ->check(CLI::IsMember({"docking", "tkl", "rvx"}))
      ->type_name("docking|tkl|rvx");
  diffCommand->callback(
      [&ctx, diff] { ctx.result = Diff(ctx, diff->first, diff->second, diff->type); });

  struct SetWords {
    std::string file;
    std::vector<std::string> assignments;
    std::string out;
    std::string type;
  };
  const auto set = std::make_shared<SetWords>();
  CLI::App* setCommand = group.add_subcommand(
      "set", "Set fields of a configuration file through the page's rules; print what changed.");
  setCommand->add_option("file", set->file, "The configuration file")
      ->required()
      ->type_name("FILE");
  setCommand->add_option("assignments", set->assignments, "\"Label=value\", one per field")
      ->required()
      ->type_name("Label=value");
  setCommand->add_option("--out", set->out, "Write the result here instead of replacing FILE")
      ->type_name("NEW");
  setCommand->add_option("--type", set->type, "The file's record type (else from its size)")
      ->check(CLI::IsMember({"docking", "tkl", "rvx"}))
      ->type_name("docking|tkl|rvx");
  setCommand->callback(
      [&ctx, set] { ctx.result = Set(ctx, set->file, set->assignments, set->out, set->type); });
}

}  // namespace ql::cli
