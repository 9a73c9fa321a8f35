#pragma once
// What the window tests share: screenshots for people to look at, answering
// the message boxes the window asks, and waiting for a condition.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>

inline void saveScreenshot(const QPixmap& picture, const char* name) {
    QDir().mkpath(QStringLiteral(METERLINK_ARTIFACTS));
    picture.save(QStringLiteral(METERLINK_ARTIFACTS "/") + QString::fromLatin1(name));
}

// The window with the box over it, as the user sees them.
inline QPixmap withBox(QWidget& window, QMessageBox* box) {
    QPixmap shot = window.grab();
    const QPixmap boxShot = box->grab();
    QPainter p(&shot);
    const QPoint at((shot.width() - boxShot.width()) / 2, (shot.height() - boxShot.height()) / 2);
    p.drawPixmap(at, boxShot);
    p.setPen(Qt::darkGray);
    p.drawRect(QRect(at, boxShot.size()).adjusted(-1, -1, 0, 0));
    return shot;
}

inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    return QTest::qWaitFor(condition, milliseconds);
}

// Counts the events of one type that reach a widget.
class EventCounter : public QObject {
public:
    EventCounter(QWidget& widget, QEvent::Type type, int& count) : type_(type), count_(count) {
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) ++count_;
        return false;
    }

private:
    QEvent::Type type_;
    int& count_;
};

// Answers the next message box with the given button and remembers what it said.
class MessageBoxAnswerer {
public:
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
    };

    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer, std::function<void(QMessageBox*)> onShown = {})
        : answer_(answer), onShown_(std::move(onShown)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { look(); });
        poll_.start(20);
    }

    const std::optional<Seen>& seen() const { return seen_; }

private:
    void look() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || seen_) return;
        Seen s{box->windowTitle(), box->text(), box->icon(), {}};
        for (QAbstractButton* b : box->buttons()) s.buttons << b->text();
        seen_ = s;
        if (onShown_) onShown_(box);
        if (QAbstractButton* b = box->button(answer_)) b->click();
        else box->reject();
    }

    QMessageBox::StandardButton answer_;
    std::function<void(QMessageBox*)> onShown_;
    std::optional<Seen> seen_;
    QTimer poll_;
};

// Answers the next file dialog: looks at it, then chooses the file (or
// cancels when the file is empty).
class FileDialogAnswerer {
public:
    FileDialogAnswerer(QString file, std::function<void(QFileDialog*)> onShown = {})
        : file_(std::move(file)), onShown_(std::move(onShown)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { look(); });
        poll_.start(20);
    }
    bool shown() const { return shown_; }

private:
    void look() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || shown_) return;
        shown_ = true;
        if (onShown_) onShown_(dialog);
        if (file_.isEmpty()) {
            dialog->reject();
            return;
        }
        // As a user does: the name typed into the dialog's name field, then Enter.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) {
            dialog->reject();
            return;
        }
        name->setText(file_);
        QTest::keyClick(name, Qt::Key_Return);
    }

    QString file_;
    std::function<void(QFileDialog*)> onShown_;
    bool shown_ = false;
    QTimer poll_;
};
