#include "pages/firmware_block.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <filesystem>

#include "io/drive_layout.h"
#include "io/file_io.h"
#include "pages/field_widgets.h"
#include "records/firmware_choice.h"
#include "rules/firmware_names.h"

namespace ql::pages {

namespace {

std::string_view DriveFolder(RecordType page) {
  switch (page) {
    case RecordType::Docking:
      return io::kDockingFirmwareFolder;
    case RecordType::SingleGas:
      return io::kSingleGasFirmwareFolder;
    case RecordType::MultiGas:
      return io::kMultiGasFirmwareFolder;
  }
  return io::kDockingFirmwareFolder;
}

}  // namespace

FirmwareBlock::FirmwareBlock(IPageHost& host, RecordType page, QWidget* pageWidget,
                             FirmwareWidgets widgets)
    : QObject(pageWidget),
      m_host(host),
      m_page(page),
      m_pageWidget(pageWidget),
      m_widgets(widgets) {
  connect(m_widgets.path, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.isEmpty()) m_widgets.label->clear();
  });
}

void FirmwareBlock::Browse() {
  const auto chosen = m_host.Choosers().ChooseFile(m_pageWidget);
  if (!chosen) return;
  const std::string path = chosen->string();
  m_browsedName = std::string(rules::FileNamePart(path));
  m_image.fileName = m_browsedName;
  m_host.SetProgressPosition(0);
  if (!rules::IsBrowseFirmwareName(m_page, m_browsedName)) {
    m_host.ShowMessage(rules::FirmwareNameMismatchMessage(m_page));
    return;
  }
  if (m_page == RecordType::MultiGas && !rules::EndsInBin(path)) {
    m_host.ShowMessage(rules::kMsgNotCorrectBinFile);
    return;
  }
  const records::FirmwareCheck check = records::VerifyFirmwareFile(m_page, *chosen, m_image);
  m_widgets.label->setText(FromLatin1(check.label));
  if (check.ok()) {
    m_widgets.path->setText(QString::fromStdString(path));
  } else {
    m_host.ShowMessage(rules::kMsgNotCorrectFirmware);
  }
}

void FirmwareBlock::Write() {
  if (m_page != RecordType::Docking) m_widgets.bar->setRange(0, 100);
  m_host.SetProgressRange(0, 100);
  m_host.SetProgressPosition(0);
  const std::string pathText = m_widgets.path->text().toStdString();
  records::FirmwareChoice choice = records::CheckFirmwareChoice(m_page, pathText, m_browsedName);
  if (!choice.label.empty()) m_widgets.label->setText(FromLatin1(choice.label));
  if (!choice.ok()) {
    m_host.ShowMessage(choice.status.message);
    return;
  }
  if (m_host.LinkMode()) {
    m_host.Station().StartFirmwareWrite(m_page, std::move(choice.image));
  } else {
    CopyToDrive(pathText);
  }
}

void FirmwareBlock::CopyToDrive(const std::string& pathText) {
  const std::filesystem::path root = m_host.UsbRoot();
  io::EnsureDirectories(root, DriveFolder(m_page));
  const std::filesystem::path source{pathText};
  std::error_code ec;
  if (m_page == RecordType::MultiGas && !std::filesystem::is_regular_file(source, ec)) {
    m_host.ShowMessage(rules::kMsgFileNotFind);
    return;
  }
  const std::string target = rules::UsbFirmwareName(m_page, rules::FileNamePart(pathText));
  const bool copied = io::CopyFileAtomically(
      source, io::DrivePath(root, DriveFolder(m_page)) / target, records::kMaxFirmwareFileSize);
  if (copied) {
    m_host.ShowMessage(rules::FirmwareUsbWriteSuccessMessage(m_page));
    if (m_page == RecordType::Docking) m_widgets.bar->setValue(0);
  } else {
    m_host.ShowMessage(rules::FirmwareUsbWriteFailMessage(m_page));
  }
  m_host.SetProgressPosition(0);
}

void FirmwareBlock::Clear() {
  m_widgets.path->clear();
  m_widgets.label->clear();
}

}  // namespace ql::pages
