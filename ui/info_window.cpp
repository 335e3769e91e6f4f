#include "ui/info_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/notification_texts.h"
#include "firmware/naming.h"
#include "ui/window_geometry.h"

namespace pelion {

namespace {
constexpr int cBUTTON_BAR_HEIGHT = 37;
constexpr int cCOLUMN_PADDING = 5;
constexpr int cWINDOW_PADDING = 30;
const QStringList cCOLUMNS{"Firmware", "Version", "Platform", "Print", "Date", "BL"};

QString text(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

TfrmInfo::TfrmInfo(QWidget* mainWindow)
    : QDialog(mainWindow),
      ListView1(new QTreeWidget(this)),
      Panel1(new QWidget(this)),
      Button1(new QPushButton("OK", Panel1)) {
    setWindowTitle("Overview");
    setModal(true);

    ListView1->setColumnCount(static_cast<int>(cCOLUMNS.size()));
    ListView1->setHeaderLabels(cCOLUMNS);
    ListView1->setRootIsDecorated(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);

    Panel1->setFixedHeight(cBUTTON_BAR_HEIGHT);
    Button1->setDefault(true);
    auto* bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(8, 4, 8, 4);
    bar->addStretch();
    bar->addWidget(Button1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ListView1);
    layout->addWidget(Panel1);

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

int TfrmInfo::Execute(int ALeft, int ATop, int AHeight) {
    ListView1->clear();
    if (ChosenImage.load() == 0) {
        addHeaderRow(getFirmwareHeader(0));
    }
    for (int image = getFirmwareCount(); image >= 1; --image) {
        addHeaderRow(getFirmwareHeader(image));
    }
    const QMargins frame = frameMargins(this);
    const int clientWidth = autoSizeColumns() + cWINDOW_PADDING;
    setOuterRect(this, QRect(ALeft, ATop, clientWidth + frame.left() + frame.right(), AHeight));
    Button1->setFocus();
    return exec();
}

void TfrmInfo::addHeaderRow(const TBl3FileHeader& header) {
    new QTreeWidgetItem(ListView1, QStringList{
                                       text(classToStr(header.orvo_class, header.orvo_print)),
                                       text(firmwareVersionText(header)),
                                       text(platformToStr(header.orvo_platform)),
                                       text(printToStr(header.orvo_print)),
                                       text(header.orvo_date),
                                       text(bootloaderText(header)),
                                   });
}

int TfrmInfo::autoSizeColumns() {
    int sum = 0;
    for (int column = 0; column < ListView1->columnCount(); ++column) {
        const int headerWidth = ListView1->header()->sectionSizeHint(column);
        const int contentWidth =
            static_cast<const QAbstractItemView*>(ListView1)->sizeHintForColumn(column);
        const int width = std::max(headerWidth, contentWidth) + cCOLUMN_PADDING;
        ListView1->setColumnWidth(column, width);
        sum += width;
    }
    return sum;
}

}  // namespace pelion
