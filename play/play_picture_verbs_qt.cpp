#include "play/play_picture_verbs_qt.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QWidget>

#include "play/play_texts.h"
#include "window/main_window_qt.h"
#include "window/scan_window_qt.h"

namespace tavrin {

QImage window_picture(main_window& window) {
    QImage picture = window.grab().toImage();
    if (scan_window* scan = window.scan(); scan != nullptr && scan->isVisible()) {
        QPainter painter(&picture);
        const QPoint offset = scan->pos() - window.frameGeometry().topLeft();
        painter.drawImage(offset, scan->grab().toImage());
        painter.setPen(Qt::black);
        painter.drawRect(QRect(offset, scan->size() - QSize(1, 1)));
    }
    return picture;
}

play_outcome picture_verbs::shot(const play_step& s) {
    return save(s, window_picture(session_.window()));
}

play_outcome picture_verbs::shot_window(const play_step& s) {
    QWidget* shown = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->objectName() == qt("window_" + s.id))
            shown = top;
    }
    if (shown == nullptr)
        return session_.failed("window " + s.id + " open", "it closed");
    return save(s, shown->grab().toImage());
}

play_outcome picture_verbs::save(const play_step& s, const QImage& picture) {
    QString path = qt(s.text);
    const std::string& shots_dir = session_.options().shots_dir;
    if (QFileInfo(path).isRelative() && !shots_dir.empty())
        path = QDir(qt(shots_dir)).filePath(path);
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()) || !picture.save(path, "PNG"))
        return session_.script_error("cannot write " + path.toStdString());
    if (session_.options().announce_shots)
        session_.out() << "  " << path.toStdString() << "\n";
    return proceed();
}

}  // namespace tavrin
