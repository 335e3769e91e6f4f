// The program's windows in their start-up order: the main window first (its creation settles
// the option set and the controls), then the overview, the report and the message window, all
// hidden until asked for. They live together until the program ends.
#pragma once

#include <string>
#include <vector>

#include "ui/info_window.h"
#include "ui/main_window.h"
#include "ui/message_window.h"
#include "ui/protocol_window.h"

namespace pelion {

struct GuiWindows {
    explicit GuiWindows(const std::vector<std::string>& args)
        : frmMain(args), frmInfo(&frmMain), frmProtocol(&frmMain), frmMessage(&frmMain) {
        frmMain.setAuxiliaryWindows(&frmInfo, &frmProtocol, &frmMessage);
    }

    TfrmMain frmMain;
    TfrmInfo frmInfo;
    TfrmProtocol frmProtocol;
    TfrmMessage frmMessage;
};

}  // namespace pelion
