#pragma once
// A main window stand-in for page tests: records every message, progress call and station
// operation, answers the file and folder choosers from a queue of prepared answers, and
// keeps what would have been printed.

#include <QString>
#include <cstdio>
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
  records::CertificateRecord certificate;  // what Certificate() answers

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
  void RefreshCertificateList() override { calls.push_back("RefreshCertificateList"); }
  void LoadCertificate(std::string_view name) override {
    calls.push_back("LoadCertificate " + std::string(name));
  }
  const records::CertificateRecord& Certificate() const override { return certificate; }
  void ReadStationClock() override { calls.push_back("ReadStationClock"); }
  void SetStationClock(const protocol::DateTime& t) override {
    char text[64];
    std::snprintf(text, sizeof text, "SetStationClock %d %d %d %d %d %d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    calls.push_back(text);
  }
  void WriteSerialNumber(std::string_view serialNumber) override {
    calls.push_back("WriteSerialNumber " + std::string(serialNumber));
  }
  void SelfTest() override { calls.push_back("SelfTest"); }
  void FactoryDefault() override { calls.push_back("FactoryDefault"); }
  void EraseFirmware() override { calls.push_back("EraseFirmware"); }
  void EthernetLinkTest() override { calls.push_back("EthernetLinkTest"); }
  void GetIpAddress() override { calls.push_back("GetIpAddress"); }

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
  std::deque<std::optional<std::filesystem::path>> saveFiles;
  std::vector<QString> folderTitles;
  std::vector<QString> suggestedNames;  // every ChooseSaveFile

  std::optional<std::filesystem::path> ChooseFile(QWidget*) override { return Take(files); }
  std::optional<std::filesystem::path> ChooseFolder(QWidget*, const QString& title) override {
    folderTitles.push_back(title);
    return Take(folders);
  }
  std::optional<std::filesystem::path> ChooseSaveFile(QWidget*, const QString&,
                                                      const QString& suggestedName) override {
    suggestedNames.push_back(suggestedName);
    return Take(saveFiles);
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

// Records the pages it is given and answers with `outcome`.
class FakePrinter final : public pages::ICertificatePrinter {
 public:
  pages::PrintOutcome outcome = pages::PrintOutcome::Printed;
  std::vector<report::CertificatePage> pages;

  pages::PrintOutcome Print(QWidget*, const report::CertificatePage& page) override {
    pages.push_back(page);
    return outcome;
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
  FakePrinter printer;

  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void SetProgressPosition(int position) override { positions.push_back(position); }
  void SetProgressRange(int low, int high) override { ranges.emplace_back(low, high); }
  bool LinkMode() const override { return linkMode; }
  std::filesystem::path UsbRoot() const override { return usbRoot; }
  pages::IStationLink& Station() override { return station; }
  pages::IChoosers& Choosers() override { return choosers; }
  pages::ICertificatePrinter& Printer() override { return printer; }
};

}  // namespace ql::testsupport
