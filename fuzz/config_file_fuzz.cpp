// Arbitrary configuration files on a drive through the three loaders and their page
// conversions, as USB disk mode's Read does them.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "io/drive_layout.h"
#include "records/config_files.h"

namespace {

namespace fs = std::filesystem;

class Quiet final : public ql::records::IMessageSink {
 public:
  void ShowMessage(std::string_view) override {}
};

// Made once and never destroyed, so the clean-up at exit can still read it.
const fs::path& Drive() {
  static const auto* root = new fs::path([] {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "quaylink-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    for (const char* folder : {"Config/Docking", "Config/TKL", "Config/RVX"}) {
      fs::create_directories(fs::path(pattern) / folder);
    }
    std::atexit([] { fs::remove_all(Drive()); });
    return fs::path(pattern);
  }());
  return *root;
}

void Put(std::string_view relative, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(ql::io::DrivePath(Drive(), relative), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ql::records;
  Quiet quiet;
  Put(ql::io::kDockingCfgPath, data, size);
  Put(ql::io::kSingleGasCfgPath, data, size);
  Put(ql::io::kMultiGasCfgPath, data, size);

  DockingInfoRecord docking;
  DockingPageValues dockingPage;
  ReadDockingFromDrive(Drive(), docking, dockingPage, quiet);
  SingleGasOptionRecord single;
  SingleGasPageValues singlePage;
  ReadSingleGasFromDrive(Drive(), single, singlePage, quiet);
  MultiGasOptionRecord multi;
  MultiGasPageValues multiPage;
  ReadMultiGasFromDrive(Drive(), multi, multiPage, quiet);
  return 0;
}
