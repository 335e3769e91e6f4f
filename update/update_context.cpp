#include "update/update_context.h"

namespace pelion {

std::shared_ptr<const FirmwareFile> currentFirmwareFile() {
    return std::make_shared<const FirmwareFile>(FirmwareFile{FirmwareFileHeader, FirmwareLines});
}

UpdateContext::UpdateContext(NotificationTargetPtr target, const UpdateOptions& options,
                             int chosenImage, std::shared_ptr<const FirmwareFile> file,
                             std::shared_ptr<ApplicationFactsMemory> memory)
    : RunContext(std::move(target)),
      options(options),
      ChosenImage(chosenImage),
      facts(memory ? std::move(memory) : std::make_shared<ApplicationFactsMemory>()),
      file_(file ? std::move(file) : std::make_shared<const FirmwareFile>()) {}

TBl3FileHeader UpdateContext::firmwareHeader(int image) const {
    if (image != 0) {
        return getFirmwareHeader(image);
    }
    return file_->header;
}

int UpdateContext::chosenLastLine() const {
    const int image = ChosenImage.load();
    if (image != 0) {
        return getFirmwareLastLine(image);
    }
    return static_cast<int>(file_->lines.size()) - 1;
}

std::string UpdateContext::chosenLine(int line) const {
    const int image = ChosenImage.load();
    if (image != 0) {
        return getFirmwareLine(image, line);
    }
    if (line < 0 || line >= static_cast<int>(file_->lines.size())) {
        return {};
    }
    return file_->lines[static_cast<std::size_t>(line)];
}

}  // namespace pelion
