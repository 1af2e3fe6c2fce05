#include "app/window/tour_qt.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>
#include <functional>

#include "app/window/main_window_qt.h"
#include "app/window/scan_window_qt.h"

namespace tavrin {
namespace {

bool wait_until(const std::function<bool()>& done, int limit_ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

void settle(int ms) {
    wait_until([] { return false; }, ms);
}

QString file_part(const char* caption) {
    return QString::fromUtf8(caption).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

class picture_taker {
  public:
    picture_taker(main_window& window, const QString& dir, std::ostream& out)
        : window_(window), dir_(dir), out_(out) {}

    bool take(const QString& step) {
        ++count_;
        const QString path = QDir(dir_).filePath(
            QStringLiteral("%1-%2.png").arg(count_, 2, 10, QLatin1Char('0')).arg(step));
        QCoreApplication::processEvents();
        if (!window_picture(window_).save(path, "PNG")) {
            out_ << "tavrin-config: cannot write " << path.toStdString() << "\n";
            return false;
        }
        out_ << "  " << path.toStdString() << "\n";
        return true;
    }

  private:
    main_window& window_;
    QString dir_;
    std::ostream& out_;
    int count_ = 0;
};

}  // namespace

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

int run_tour(main_window& window, const std::string& dir, std::ostream& out, tour_limits limits) {
    const QString folder = QString::fromStdString(dir);
    if (!QDir().mkpath(folder)) {
        out << "tavrin-config: cannot create " << dir << "\n";
        return 4;
    }
    picture_taker pictures(window, folder, out);
    out << "tavrin-config: tour pictures in " << dir << "\n";
    settle(200);
    if (!pictures.take(QStringLiteral("start")))
        return 4;

    // A busy machine can miss the ping window of a search; a user would search again.
    for (int search = 1; search <= limits.searches; ++search) {
        window.discover_devices();
        if (search == 1) {
            settle(1500);
            if (!pictures.take(QStringLiteral("discovering")))
                return 4;
        }
        if (!wait_until([&] { return window.scan() == nullptr; }, limits.scan_wait_ms)) {
            out << "tavrin-config: the search did not end\n";
            return 2;
        }
        if (window.device_list()->count() > 0)
            break;
    }
    if (!pictures.take(QStringLiteral("listed")))
        return 4;
    if (window.device_list()->count() == 0) {
        out << "tavrin-config: no amplifier found\n";
        return 2;
    }
    const std::string name = window.device_list()->item(0)->text().toStdString();
    window.device_list()->setCurrentRow(0);
    window.choose_selected_device();
    const bool answered =
        wait_until([&] { return window.info_panel()->text() != QStringLiteral("No Device"); },
                   limits.connect_wait_ms);
    if (!answered) {
        out << "tavrin-config: " << name << " did not answer\n";
        return 3;
    }
    if (!pictures.take(QStringLiteral("connected")))
        return 4;
    for (int tab = 0; tab < tab_count; ++tab) {
        window.tabs()->setCurrentIndex(tab);
        settle(300);
        if (!pictures.take(QStringLiteral("tab-") + file_part(main_tabs[tab].caption)))
            return 4;
    }
    return 0;
}

}  // namespace tavrin
