#include "app/history_journal.h"

#include <random>
#include <utility>

#include "app/notification_texts.h"
#include "app/sha256.h"
#include "link/notify.h"
#include "link/port_details.h"
#include "update/bootloader_commands.h"

namespace pelion {

namespace {

std::string newRecordId() {
    std::random_device random;
    return utcTimestamp() + "-" + std::to_string(random()) + std::to_string(random());
}

std::string appVersionText(std::uint16_t version) {
    return std::to_string(version >> 8) + "." + std::to_string(version & 0xFF);
}

std::string imageText(const std::shared_ptr<UpdateContext>& run, int image) {
    if (image < 0) {
        return "no image";
    }
    const TBl3FileHeader header = run ? run->firmwareHeader(image) : getFirmwareHeader(image);
    return (image == 0 ? "the file" : "image " + std::to_string(image)) + " (V" +
           firmwareVersionText(header) + ")";
}

// The same adapter: by its USB serial number and location where it has them, else by the
// port's name.
bool sameAdapter(const HistoryRecord& r, const std::string& port, const AdapterIdentity& now) {
    if (!now.serial.empty()) {
        return r.adapter.serial == now.serial && r.adapter.location == now.location;
    }
    return r.adapter.serial.empty() && r.port == port;
}

// The bootloader reads as it did for the record: platform, print, bootloader and update-ID
// block. Another logger on the same adapter differs in at least one of them as a rule.
bool sameBootloader(const RecordedLogger& r, const LoggerIdentity& now) {
    return r.platform == now.platform && r.print == now.print && r.blClass == now.blClass &&
           r.blVersion == now.blVersion && r.updateClass == now.updateClass &&
           r.updateInfo.value_or(0) == now.updateInfo;
}

void fillFromWorker(RecordedLogger& r, const LoggerIdentity& logger) {
    if (logger.appVersion != 0) {
        r.appVersion = logger.appVersion;
        r.serialNumber = logger.serialNumber;
    }
    r.blClass = logger.blClass;
    r.blVersion = logger.blVersion;
    r.platform = logger.platform;
    r.print = logger.print;
    r.updateClass = logger.updateClass;
    r.updateInfo = logger.updateInfo;
}

}  // namespace

AdapterIdentity adapterOf(const std::string& port) {
    for (const ComPortDetails& details : getComPortDetails()) {
        if (details.name == port || details.devicePath == port) {
            const std::string usbId =
                details.vendorId.empty() ? "" : details.vendorId + ":" + details.productId;
            return {usbId, details.serial, details.location};
        }
    }
    return {};
}

HistoryJournal::HistoryJournal(HistorySettings settings) : settings_(std::move(settings)) {}

void HistoryJournal::beginAction(const std::string& port) {
    const std::lock_guard lock(mutex_);
    record_ = {};
    record_.id = newRecordId();
    record_.started = utcTimestamp();
    record_.program = settings_.program;
    record_.programVersion = cTXT_VERSION;
    record_.host = hostName();
    record_.port = port;
    record_.adapter = adapterOf(port);
    programmingWritten_ = false;
    interrupted_.reset();
    recoveryAnswer_.reset();
    warned_ = false;
    lastClass_ = 0;
}

void HistoryJournal::attach(const std::shared_ptr<UpdateContext>& run) {
    const std::lock_guard lock(mutex_);
    run_ = run;
}

void HistoryJournal::noteNotification(std::uint32_t code, std::int32_t value) {
    const std::lock_guard lock(mutex_);
    RecordedLogger& l = record_.logger;
    const auto word = static_cast<std::uint16_t>(value);
    switch (code) {
        case cNT_CLASS:
            lastClass_ = word;
            l.cls = l.cls.value_or(word);
            if (isBootloaderClass(word)) {
                l.blClass = l.blClass.value_or(word);
            }
            break;
        case cNT_VERSION:
            l.version = l.version.value_or(word);
            if (isBootloaderClass(lastClass_)) {
                l.blVersion = l.blVersion.value_or(word);
            } else if (lastClass_ == cCLASS_APPLICATION) {
                l.appVersion = l.appVersion.value_or(word);
            }
            break;
        case cNT_PLATFORM:
            l.platform = word;
            break;
        case cNT_PRINT:
            l.print = word;
            break;
        case cNT_UPDATE_CLASS:
            l.updateClass = word;
            break;
        case cNT_UPDATE_INFO:
            l.updateInfo = word;
            break;
        default:
            break;
    }
}

void HistoryJournal::actionEnded(const std::string& verdict, int exitStatus, int repeats,
                                 const ApplicationFacts& remembered) {
    const std::lock_guard lock(mutex_);
    if (!settings_.file) {
        return;
    }
    HistoryRecord ended = record_;
    if (remembered.appVersion != 0 && !ended.logger.serialNumber) {
        ended.logger.appVersion = remembered.appVersion;
        ended.logger.serialNumber = remembered.serialNumber;
        ended.factsSource = cFACTS_LOGGER;
    }
    if (const auto run = run_.lock()) {
        ended.linesSent = programmingWritten_ ? run->linesSent.load() : 0;
        if (ended.image.index < 0 && run->ChosenImage.load() >= 0) {
            ended.image.index = run->ChosenImage.load();
            ended.image.version = firmwareVersionText(run->firmwareHeader(ended.image.index));
        }
    }
    ended.state = cSTATE_ENDED;
    ended.time = utcTimestamp();
    ended.repeats = repeats;
    ended.verdict = verdict;
    ended.exitStatus = exitStatus;
    write(ended);
}

std::vector<std::string> HistoryJournal::takeReport() {
    const std::lock_guard lock(mutex_);
    return std::exchange(report_, {});
}

std::vector<std::string> HistoryJournal::takeWarnings() {
    const std::lock_guard lock(mutex_);
    return std::exchange(warnings_, {});
}

std::optional<HistoryRecord> HistoryJournal::newestForAdapter(const HistoryRead& history) const {
    std::set<std::string> programmed;
    std::optional<HistoryRecord> newest;
    for (const HistoryRecord& r : history.records) {
        if (r.id == record_.id || !sameAdapter(r, record_.port, record_.adapter)) {
            continue;
        }
        if (r.state == cSTATE_PROGRAMMING) {
            programmed.insert(r.id);
        }
        newest = r;
    }
    const bool interrupted =
        newest && programmed.contains(newest->id) &&
        (newest->state == cSTATE_PROGRAMMING || newest->exitStatus.value_or(1) != 0);
    return interrupted ? newest : std::nullopt;
}

std::optional<ApplicationFacts> HistoryJournal::interruptedUpdate(const LoggerIdentity& logger) {
    const std::lock_guard lock(mutex_);
    if (!settings_.file) {
        return std::nullopt;
    }
    if (!interrupted_) {
        const std::optional<HistoryRecord> found = newestForAdapter(settings_.file->read());
        if (!found || !found->logger.appVersion || !found->logger.serialNumber ||
            !sameBootloader(found->logger, logger)) {
            return std::nullopt;
        }
        interrupted_ = found;
        report_.push_back("Interrupted update of " + found->started + " found: logger SN " +
                          std::to_string(*found->logger.serialNumber) + ", version " +
                          appVersionText(*found->logger.appVersion) + ", " +
                          imageText(run_.lock(), found->image.index) + ".");
    }
    return ApplicationFacts{*interrupted_->logger.appVersion, *interrupted_->logger.serialNumber};
}

bool HistoryJournal::useRecordedFacts(bool changesChoice, int imageWith, int imageWithout) {
    std::unique_lock lock(mutex_);
    if (!interrupted_) {
        return false;
    }
    const std::string facts = "SN " + std::to_string(*interrupted_->logger.serialNumber) +
                              ", version " + appVersionText(*interrupted_->logger.appVersion);
    const auto run = run_.lock();
    if (changesChoice && !recoveryAnswer_) {
        const std::string question =
            "Is this the logger " + facts +
            " of the interrupted update? Yes: " + imageText(run, imageWith) +
            ". No: " + imageText(run, imageWithout) + ".";
        lock.unlock();  // the user may take a while; notifications go on meanwhile
        const bool yes = settings_.answer && settings_.answer(question);
        lock.lock();
        recoveryAnswer_ = yes;
    }
    const bool use = !changesChoice || recoveryAnswer_.value_or(false);
    if (use) {
        record_.factsSource = cFACTS_HISTORY;
        record_.factsFrom = interrupted_->id;
        report_.push_back("The image choice uses " + facts + " from the interrupted update.");
    } else {
        report_.push_back("The image choice does not use " + facts +
                          " from the interrupted update: the bootloader cannot confirm them, and " +
                          imageText(run, imageWithout) + " fits without them." +
                          settings_.declinedHint);
    }
    return use;
}

void HistoryJournal::programmingStarts(const LoggerIdentity& logger, int image) {
    const std::lock_guard lock(mutex_);
    if (!settings_.file || programmingWritten_) {
        return;
    }
    fillFromWorker(record_.logger, logger);
    if (logger.appVersion != 0 && record_.factsSource == cFACTS_NONE) {
        record_.factsSource = cFACTS_LOGGER;
    }
    if (const auto run = run_.lock()) {
        Sha256 hash;
        for (int n = 0, last = run->chosenLastLine(); n <= last; ++n) {
            hash.add(run->chosenLine(n));
            hash.add("\n");
        }
        record_.image = {image, firmwareVersionText(run->firmwareHeader(image)), hash.hexDigest()};
    }
    record_.state = cSTATE_PROGRAMMING;
    record_.time = utcTimestamp();
    programmingWritten_ = true;
    write(record_);
}

void HistoryJournal::write(const HistoryRecord& record) {
    const std::string problem = settings_.file->append(record);
    if (!problem.empty() && !warned_) {
        warned_ = true;
        warnings_.push_back("History not written: " + problem + ". The update goes on.");
    }
}

}  // namespace pelion
