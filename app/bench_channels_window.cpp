#include "bench_channels_window.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

namespace {

enum Column { Name, Value, Unit, Low, High, Verdict, ColumnCount };

constexpr int kMostMessages = 500;

}  // namespace

BenchChannelsWindow::BenchChannelsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("BenchChannels"));
    setWindowTitle(QStringLiteral("Bench Channels"));
    auto* layout = new QVBoxLayout(this);

    channels_ = new QTableWidget(0, ColumnCount, this);
    channels_->setObjectName(QStringLiteral("channels"));
    channels_->setHorizontalHeaderLabels({QStringLiteral("Channel"), QStringLiteral("Value"), QStringLiteral("Unit"),
                                          QStringLiteral("Low"), QStringLiteral("High"), QStringLiteral("Verdict")});
    channels_->verticalHeader()->hide();
    channels_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    channels_->setMinimumHeight(150);
    layout->addWidget(channels_);
    connect(channels_, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (filling_ || row < meterRows_ || (column != Low && column != High)) return;
        emit limitEdited(row - meterRows_, column == High, channels_->item(row, column)->text().trimmed());
    });

    auto* form = new QFormLayout;
    auto* calcRow = new QHBoxLayout;
    calcEdit_ = new QLineEdit(this);
    calcEdit_->setObjectName(QStringLiteral("calcEdit"));
    calcEdit_->setPlaceholderText(QStringLiteral("EFF = (CH3*CH4)/(CH1*CH2)*100 [%]"));
    addCalc_ = new QPushButton(QStringLiteral("Add Channel"), this);
    calcRow->addWidget(calcEdit_);
    calcRow->addWidget(addCalc_);
    form->addRow(QStringLiteral("Calculated channel:"), calcRow);
    auto* alarmRow = new QHBoxLayout;
    alarmEdit_ = new QLineEdit(this);
    alarmEdit_->setObjectName(QStringLiteral("alarmEdit"));
    alarmEdit_->setPlaceholderText(QStringLiteral("EFF < 80 for 5s hyst 2: sound, message \"efficiency low\""));
    addAlarm_ = new QPushButton(QStringLiteral("Add Alarm"), this);
    alarmRow->addWidget(alarmEdit_);
    alarmRow->addWidget(addAlarm_);
    form->addRow(QStringLiteral("Alarm:"), alarmRow);
    layout->addLayout(form);
    connect(calcEdit_, &QLineEdit::returnPressed, addCalc_, &QPushButton::click);
    connect(alarmEdit_, &QLineEdit::returnPressed, addAlarm_, &QPushButton::click);

    layout->addWidget(new QLabel(QStringLiteral("Alarms:"), this));
    alarmList_ = new QListWidget(this);
    alarmList_->setObjectName(QStringLiteral("alarmList"));
    alarmList_->setMaximumHeight(70);
    layout->addWidget(alarmList_);
    layout->addWidget(new QLabel(QStringLiteral("Alarm messages:"), this));
    messages_ = new QListWidget(this);
    messages_->setObjectName(QStringLiteral("messages"));
    messages_->setMinimumHeight(90);
    layout->addWidget(messages_);

    auto* scpiRow = new QHBoxLayout;
    scpi_ = new QCheckBox(QStringLiteral("SCPI server"), this);
    scpi_->setObjectName(QStringLiteral("scpiServer"));
    scpiPort_ = new QLineEdit(QStringLiteral("5025"), this);
    scpiPort_->setObjectName(QStringLiteral("scpiPort"));
    scpiPort_->setMaximumWidth(80);
    scpiRow->addWidget(scpi_);
    scpiRow->addWidget(new QLabel(QStringLiteral("on localhost, port"), this));
    scpiRow->addWidget(scpiPort_);
    scpiRow->addStretch();
    layout->addLayout(scpiRow);
    resize(560, 480);
}

void BenchChannelsWindow::showRows(const QList<Row>& rows) {
    filling_ = true;
    if (channels_->rowCount() != rows.size()) channels_->setRowCount(int(rows.size()));
    meterRows_ = 0;
    for (int r = 0; r < rows.size(); ++r) {
        const Row& row = rows[r];
        if (!row.calculated) ++meterRows_;
        const QString texts[ColumnCount] = {row.name, row.value, row.unit, row.low, row.high, row.verdict};
        for (int c = 0; c < ColumnCount; ++c) {
            QTableWidgetItem* item = channels_->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                channels_->setItem(r, c, item);
            }
            const bool editable = row.calculated && (c == Low || c == High);
            item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                    : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            // A limit being typed is not overwritten.
            if (editable && channels_->currentItem() == item && channels_->isPersistentEditorOpen(item)) continue;
            if (item->text() != texts[c]) item->setText(texts[c]);
            if (c == Verdict)
                item->setForeground(texts[c] == QLatin1String("Fail") ? Qt::red : QColor(Qt::darkGreen));
        }
    }
    filling_ = false;
}

void BenchChannelsWindow::showMessage(const QString& text) {
    messages_->addItem(QTime::currentTime().toString(QStringLiteral("HH:mm:ss  ")) + text);
    while (messages_->count() > kMostMessages) delete messages_->takeItem(0);
    messages_->scrollToBottom();
}
