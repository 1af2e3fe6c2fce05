#pragma once
// The behaviour the pages give their number edits: only some characters can be
// typed, Enter applies the value and is swallowed, Tab may apply it, losing the focus
// applies it while the page's tab is current, and a click selects the whole text.
// One edit applies once: Tab and the focus leaving apply only what was typed since
// the value was last applied (Enter applies whenever it is pressed), so Tab followed
// by its focus loss sends one frame, and a field the focus only passes through none.
#include <QLineEdit>
#include <QObject>
#include <QString>
#include <functional>

namespace tavrin {

struct edit_rules {
    // Printable characters that may be typed; empty admits all. Backspace, Enter and
    // the cursor keys always pass.
    QString allowed = QStringLiteral("0123456789-.");
    bool tab_applies = true;
    // Focus loss applies the value only while this holds (the page's tab is current).
    std::function<bool()> page_current;
    std::function<void()> apply;
};

class edit_filter : public QObject {
    Q_OBJECT
  public:
    edit_filter(QLineEdit* edit, edit_rules rules);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool on_key(QKeyEvent* key);
    void apply();

    QLineEdit* edit_;
    edit_rules rules_;
    // Set by typing, cleared when the value is applied.
    bool edited_ = false;
};

// Installs the filter; it lives as long as the edit.
edit_filter* install_edit_filter(QLineEdit* edit, edit_rules rules);

}  // namespace tavrin
