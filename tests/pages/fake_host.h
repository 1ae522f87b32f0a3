#pragma once
// A main window stand-in for page tests: records every message, progress call and station
// operation, and answers the file and folder choosers from a queue of prepared answers.

#include <QString>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_host.h"

namespace ql::testsupport {

class FakeStation final : public pages::IStationLink {
 public:
  bool portOpen = false;
  std::vector<std::string> calls;  // "PageRead 0", "PageWrite 2", "Firmware 1 TKL_CO.bin", ...
  std::optional<records::FirmwareImage> lastImage;
  std::vector<std::string> savedNames;
  std::filesystem::path savedFolder;

  bool PortOpen() const override { return portOpen; }
  void PageRead(RecordType type) override { calls.push_back("PageRead " + Name(type)); }
  void PageWrite(RecordType type) override { calls.push_back("PageWrite " + Name(type)); }
  void StartFirmwareWrite(RecordType page, records::FirmwareImage image) override {
    calls.push_back("Firmware " + Name(page) + " " + image.fileName);
    lastImage = std::move(image);
  }
  void RefreshLogList() override { calls.push_back("RefreshLogList"); }
  void SaveLogs(const std::vector<std::string>& names,
                const std::filesystem::path& folder) override {
    calls.push_back("SaveLogs");
    savedNames = names;
    savedFolder = folder;
  }

  static std::string Name(RecordType type) {
    switch (type) {
      case RecordType::Docking:
        return "docking";
      case RecordType::SingleGas:
        return "tkl";
      case RecordType::MultiGas:
        return "rvx";
    }
    return "?";
  }
};

class FakeChoosers final : public pages::IChoosers {
 public:
  // Answers in order; an empty optional is a cancelled dialog. An empty queue cancels.
  std::deque<std::optional<std::filesystem::path>> files;
  std::deque<std::optional<std::filesystem::path>> folders;
  std::vector<QString> folderTitles;

  std::optional<std::filesystem::path> ChooseFile(QWidget*) override { return Take(files); }
  std::optional<std::filesystem::path> ChooseFolder(QWidget*, const QString& title) override {
    folderTitles.push_back(title);
    return Take(folders);
  }

 private:
  static std::optional<std::filesystem::path> Take(
      std::deque<std::optional<std::filesystem::path>>& queue) {
    if (queue.empty()) return std::nullopt;
    auto answer = queue.front();
    queue.pop_front();
    return answer;
  }
};

class FakeHost final : public pages::IPageHost {
 public:
  std::vector<std::string> messages;
  std::vector<int> positions;  // every SetProgressPosition
  std::vector<std::pair<int, int>> ranges;
  bool linkMode = true;
  std::filesystem::path usbRoot;
  FakeStation station;
  FakeChoosers choosers;

  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void SetProgressPosition(int position) override { positions.push_back(position); }
  void SetProgressRange(int low, int high) override { ranges.emplace_back(low, high); }
  bool LinkMode() const override { return linkMode; }
  std::filesystem::path UsbRoot() const override { return usbRoot; }
  pages::IStationLink& Station() override { return station; }
  pages::IChoosers& Choosers() override { return choosers; }
};

}  // namespace ql::testsupport
