// The clock group: the station's date and time, read and set through the engine's
// requests that the date and time page's buttons use.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "protocol/request_block.h"
#include "rules/calendar.h"
#include "tools/cli/commands.h"
#include "tools/cli/station_session.h"

namespace ql::cli {
namespace {

using protocol::DateTime;

constexpr std::string_view kDateTimeFormat = "YYYY-MM-DD HH:MM:SS";

// The earliest year the engine takes from a station's clock answer.
constexpr int kFirstYear = 1900;

// The digits of text[at, at + count) as a number; nothing unless all are digits.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "YYYY-MM-DD HH:MM:SS" as a date and time that exists; otherwise why not.
std::optional<DateTime> ParseDateTime(std::string_view text, std::string& problem) {
  const auto malformed = [&] {
    problem = "not in the form " + std::string(kDateTimeFormat);
    return std::nullopt;
  };
  if (text.size() != kDateTimeFormat.size() || text[4] != '-' || text[7] != '-' ||
      text[10] != ' ' || text[13] != ':' || text[16] != ':') {
    return malformed();
  }
  const auto year = Digits(text, 0, 4);
  const auto month = Digits(text, 5, 2);
  const auto day = Digits(text, 8, 2);
  const auto hour = Digits(text, 11, 2);
  const auto minute = Digits(text, 14, 2);
  const auto second = Digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return malformed();
  if (*year < kFirstYear) {
    problem = "the year is before " + std::to_string(kFirstYear);
  } else if (*month < 1 || *month > 12) {
    problem = "there is no month " + std::to_string(*month);
  } else if (*day < 1 || *day > rules::DaysInMonth(*year, *month)) {
    problem = "there is no day " + std::to_string(*day) + " in that month";
  } else if (*hour > 23 || *minute > 59 || *second > 59) {
    problem = "there is no such time of day";
  } else {
    return DateTime{*year, *month, *day, *hour, *minute, *second};
  }
  return std::nullopt;
}

std::string FormatDateTime(const DateTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// Runs one clock request and prints the date and time the station answered with. A read
// takes the clock answer that ended the connection's automatic read when there is one: the
// same request again at once would pass for a copy of it and go unanswered.
ExitCode RunClockRequest(const CommandContext& ctx, std::uint8_t request,
                         const std::function<void(engine::Engine&)>& start) {
  if (!RequirePort(ctx)) return ExitCode::UsageOrFile;
  StationSession session(ctx);
  if (const ExitCode c = session.Connect(ctx.options.port); c != ExitCode::Ok) return c;
  auto& ui = session.Ui();
  const auto& automatic = session.AutomaticRead();
  const bool answered = request == protocol::cmd::kReadClock && automatic &&
                        automatic->outcome == engine::RequestOutcome::Done &&
                        ui.stationClock.has_value();
  if (!answered) {
    ui.stationClock.reset();
    const engine::RequestEnd end = session.Run(request, [&] { start(session.Engine()); });
    if (end.outcome != engine::RequestOutcome::Done) return ExitCodeOf(end);
  }
  if (!ui.stationClock) {
    ctx.err << "quaylink-cli: the station sent no date and time\n";
    return ExitCode::Refused;
  }
  ctx.out << FormatDateTime(*ui.stationClock) << "\n";
  return ExitCode::Ok;
}

ExitCode Read(const CommandContext& ctx) {
  return RunClockRequest(ctx, protocol::cmd::kReadClock,
                         [](engine::Engine& e) { e.ReadStationClock(); });
}

// The PC's local date and time; nothing when the C library cannot give it.
std::optional<DateTime> LocalNow() {
  protocol::RequestBlock block;
  block.SetLocalTime(std::time(nullptr));
  if (block.time.year < kFirstYear) return std::nullopt;
  return block.time;
}

ExitCode Set(const CommandContext& ctx, const std::string& value) {
  // Checked before the port is touched: a time that cannot be set sends nothing.
  const bool now = value == "now";
  std::string problem;
  std::optional<DateTime> wanted = now ? LocalNow() : ParseDateTime(value, problem);
  if (!wanted && now) {
    ctx.err << "quaylink-cli: the PC's local time cannot be had\n";
    return ExitCode::UsageOrFile;
  }
  if (!wanted) {
    ctx.err << "quaylink-cli: \"" << value << "\" is not a date and time to set: " << problem
            << " (" << kDateTimeFormat << ", or now)\n";
    return ExitCode::UsageOrFile;
  }
  return RunClockRequest(ctx, protocol::cmd::kSetClock, [&](engine::Engine& e) {
    // "now" is the PC's time when the request goes out, not when the command started.
    if (now) wanted = LocalNow().value_or(*wanted);
    e.SetStationClock(*wanted);
  });
}

}  // namespace

void AddClockCommands(CLI::App& group, CommandContext& ctx) {
  group.add_subcommand("read", "Print the station's date and time (YYYY-MM-DD HH:MM:SS).")
      ->callback([&ctx] { ctx.result = Read(ctx); });

  const auto value = std::make_shared<std::string>();
  CLI::App* set = group.add_subcommand(
      "set", "Set the station's clock; print the date and time the station reports back.");
  set->add_option("time", *value, "\"YYYY-MM-DD HH:MM:SS\", or now for the PC's local time")
      ->required()
      ->type_name("TIME");
  set->callback([&ctx, value] { ctx.result = Set(ctx, *value); });
}

}  // namespace ql::cli
