#pragma once
// The "Record" menu: the record limit, chosen from six items of which the
// chosen one carries the check mark, and the hidden "New" and "Save" items.

#include <QObject>

#include <cstdint>

class QAction;
class QMenu;
class QMenuBar;

class RecordMenu : public QObject {
    Q_OBJECT
public:
    explicit RecordMenu(QMenuBar* bar);

    QMenu* Record1() const { return Record1_; }
    QAction* New1() const { return New1_; }
    QAction* Save1() const { return Save1_; }
    // "Analysis…": opens the analysis window.
    QAction* analysisItem() const { return analysis_; }
    // The six limit items, in menu order ("1000" .. "limitless").
    QAction* limitItem(int i) const;
    static int limitItemCount();
    static std::int32_t limitOf(int i);

    // A limit item was clicked: it takes the check mark, the others lose it.
    void chooseLimit(int i);

signals:
    void limitChosen(std::int32_t limit);

private:
    QMenu* Record1_ = nullptr;
    QAction* New1_ = nullptr;
    QAction* Save1_ = nullptr;
    QAction* analysis_ = nullptr;
    QList<QAction*> limits_;
};
