// A window with one focused text field that reports on stdout, one line each, what it
// receives: "ready <window id>", "focus", "key <sequence>", "text <field contents>".
// It also serves commands from stdin, so a test can make it own or read the clipboard:
//   set-clipboard            text, HTML and a PNG image
//   set-clipboard-text <t>   plain text only
//   take-clipboard-text <t>  plain text, stamped with the server's time of this moment
//   clear-clipboard          gives the clipboard up (it is empty afterwards)
//   dump-clipboard           "clipboard <format> <base64 bytes>" lines, then "clipboard-end"
//   clear-field
// Each command is acknowledged with "done <command>".
// "--app-id NAME" gives the window that application id (Wayland) or class name (X11).

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QSocketNotifier>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

namespace {

void report(const QString &line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QByteArray samplePng() {
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(QColor(10, 120, 200, 255));
    image.setPixelColor(1, 1, Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class KeyReporter : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() != Qt::Key_Control && key->key() != Qt::Key_Shift &&
                key->key() != Qt::Key_Meta && key->key() != Qt::Key_Alt &&
                key->key() != Qt::Key_Super_L) {
                const QKeySequence sequence(key->keyCombination());
                report(QStringLiteral("key ") + sequence.toString(QKeySequence::PortableText));
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void runCommand(const QString &line, QLineEdit &field) {
    QClipboard *clipboard = QApplication::clipboard();
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    if (command == QLatin1String("set-clipboard")) {
        auto *data = new QMimeData;
        data->setText(QStringLiteral("original clipboard"));
        data->setHtml(QStringLiteral("<b>original</b> clipboard"));
        data->setData(QStringLiteral("image/png"), samplePng());
        clipboard->setMimeData(data);
    } else if (command == QLatin1String("set-clipboard-text")) {
        clipboard->setText(line.section(QLatin1Char(' '), 1));
    } else if (command == QLatin1String("take-clipboard-text")) {
        // A property change on our own window brings the server's current time.
        field.windowHandle()->setTitle(QStringLiteral("target %1").arg(line.size()));
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        clipboard->setText(line.section(QLatin1Char(' '), 1));
    } else if (command == QLatin1String("clear-clipboard")) {
        clipboard->clear();
    } else if (command == QLatin1String("dump-clipboard")) {
        if (const QMimeData *data = clipboard->mimeData()) {
            for (const QString &format : data->formats()) {
                report(QStringLiteral("clipboard ") + format + QLatin1Char(' ') +
                       QString::fromLatin1(data->data(format).toBase64()));
            }
        }
        report(QStringLiteral("clipboard-end"));
    } else if (command == QLatin1String("clear-field")) {
        field.clear();
    }
    report(QStringLiteral("done ") + command);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--app-id"));
        at > 0 && at + 1 < arguments.size())
        QGuiApplication::setDesktopFileName(arguments.at(at + 1));
    QLineEdit field;
    field.setWindowTitle(QStringLiteral("target"));
    field.resize(600, 40);
    KeyReporter reporter;
    app.installEventFilter(&reporter);
    QObject::connect(&field, &QLineEdit::textChanged,
                     [](const QString &text) { report(QStringLiteral("text ") + text); });
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, [](QWindow *window) {
        if (window)
            report(QStringLiteral("focus"));
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[4096];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(chunk, count);
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            runCommand(QString::fromUtf8(pending.left(end)), field);
            pending.remove(0, end + 1);
        }
    });

    field.show();
    field.setFocus();
    report(QStringLiteral("ready ") + QString::number(field.winId()));
    return app.exec();
}
