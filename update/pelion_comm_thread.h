// The worker of this updater: identifies the logger, brings it into its bootloader, chooses the
// firmware image that fits, programs it line by line and checks that the logger comes back
// with the image's device class. Every fact and step goes to the front end as a notification;
// a run ends normally only when every data record was echoed exactly and the logger answered
// with the image's class afterwards.
#pragma once

#include <cstdint>

#include "firmware/catalogue.h"
#include "update/bootloader_commands.h"
#include "update/image_choice.h"
#include "update/update_context.h"

namespace pelion {

class TPelionCommThread : public TBootloaderCommands {
public:
    // `run` must be an UpdateContext: the options, images and facts this run reads.
    TPelionCommThread(RunContextPtr run, TCmd cmd, std::string sPort);

protected:
    void runCommand() override;
    void runUpdate() override;

private:
    // Each step raises EOrvo with its abort code when the run cannot go on.
    IdentityAnswer identify(LoggerIdentity& logger);
    void readBootloaderIdentity(std::uint16_t blClass, LoggerIdentity& logger);
    void recoverInterruptedUpdate(LoggerIdentity& logger);
    // The image chooseImage would take, without a word to the front end; -1 for none.
    int firstFittingImage(const LoggerIdentity& logger) const;
    TBl3FileHeader chooseImage(const LoggerIdentity& logger);
    void program(std::uint16_t blClass, const LoggerIdentity& logger);
    void checkBootedClass(const TBl3FileHeader& image);

    UpdateContext& FUpdate;
};

}  // namespace pelion
