// The firmware overview: one row per firmware image the updater carries, newest first, and the
// loaded firmware file's row on top when that file is the chosen image. Modal; changes nothing.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

#include "firmware/catalogue.h"

namespace pelion {

class TfrmInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInfo(QWidget* mainWindow);

    // Fills the list, puts the window's outer left, top and height at the given values, fits
    // its width to the columns and shows it modally. Returns the modal result.
    int Execute(int ALeft, int ATop, int AHeight);

    QTreeWidget* const ListView1;
    QWidget* const Panel1;
    QPushButton* const Button1;

private:
    void addHeaderRow(const TBl3FileHeader& header);
    // Fits every column to the larger of its header and its contents, plus 5 px; returns the sum.
    int autoSizeColumns();
};

}  // namespace pelion
