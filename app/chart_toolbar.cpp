#include "chart_toolbar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton* makeButton(const QString& name, QStyle::StandardPixmap picture, const QString& hint, const QRect& place,
                        QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(parent->style()->standardIcon(picture));
    b->setIconSize({15, 15});
    b->setToolTip(hint);
    b->setGeometry(place);
    return b;
}

QLabel* makePicture(const QString& name, QStyle::StandardPixmap picture, const QString& hint, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(parent->style()->standardIcon(picture).pixmap(21, 21));
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(hint);
    label->setGeometry(320, 12, 25, 25);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

}  // namespace

ChartToolbar::ChartToolbar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ChartToolbar"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    resize(353, 41);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(10, 12, 40, 20);
    BtFill_ = new QCheckBox(QStringLiteral("Fill"), this);
    BtFill_->setObjectName(QStringLiteral("BtFill"));
    BtFill_->setToolTip(QStringLiteral("Graphic Fill"));
    BtFill_->setChecked(true);
    BtFill_->setGeometry(13, 12, 36, 17);
    BtFill_->setStyleSheet(QStringLiteral("QCheckBox { spacing: 3px; }"));   // keeps "Fill" off the bevel

    Maxrecord_ = new QLineEdit(QStringLiteral("100"), this);
    Maxrecord_->setObjectName(QStringLiteral("Maxrecord"));
    Maxrecord_->setGeometry(64, 12, 65, 21);

    BtSave_ = makeButton(QStringLiteral("BtSave"), QStyle::SP_DialogSaveButton, QStringLiteral("Save"),
                         {133, 12, 35, 21}, this);
    BtFirst_ = makeButton(QStringLiteral("BtFirst"), QStyle::SP_MediaSkipBackward, QStringLiteral("First"),
                          {168, 12, 28, 21}, this);
    BTPrevious_ = makeButton(QStringLiteral("BTPrevious"), QStyle::SP_MediaSeekBackward, QStringLiteral("Previous"),
                             {195, 12, 25, 21}, this);

    Bt10_ = new QPushButton(QStringLiteral("1"), this);
    Bt10_->setObjectName(QStringLiteral("Bt10"));
    Bt10_->setToolTip(QStringLiteral("Page No."));
    Bt10_->setFocusPolicy(Qt::NoFocus);
    QPalette pal = Bt10_->palette();
    pal.setColor(QPalette::ButtonText, Qt::blue);
    Bt10_->setPalette(pal);
    Bt10_->setGeometry(219, 12, 46, 21);

    BtNext_ = makeButton(QStringLiteral("BtNext"), QStyle::SP_MediaSeekForward, QStringLiteral("Next"),
                         {267, 12, 25, 21}, this);
    BTlast_ = makeButton(QStringLiteral("BTlast"), QStyle::SP_MediaSkipForward, QStringLiteral("last"),
                         {291, 12, 25, 21}, this);

    TbFd_ = makePicture(QStringLiteral("TbFd"), QStyle::SP_TitleBarMaxButton, QStringLiteral("Graphic Enlarge"), this);
    TbSx_ = makePicture(QStringLiteral("TbSx"), QStyle::SP_TitleBarNormalButton, QStringLiteral("Graphic Restore"), this);
    TbSx_->hide();
}
