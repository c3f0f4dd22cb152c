// A window with one focused text field that reports on stdout, one line each, what it
// receives: "ready <window id>", "focus", "key <sequence>", "text <field contents>".
// It also serves commands from stdin, so a test can make it own or read the clipboard:
//   set-clipboard            text, HTML and a PNG image
//   take-clipboard-text <t>  plain text, stamped with the server's time of this moment
//   clear-clipboard          gives the clipboard up (it is empty afterwards)
//   dump-clipboard           a line "clipboard <format> <base64 bytes>" for each format
//   clear-field
// Each command is acknowledged with "done <command>".
// "--app-id NAME" gives the window that application id (Wayland) or class name (X11).

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

namespace {

void report(const QString &line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// A 4×3 image of one colour.
const char samplePng[] =
    "iVBORw0KGgoAAAANSUhEUgAAAAQAAAADCAYAAAC09K7GAAAACXBIWXMAAA7EAAAOxAGVKw4bAAAA"
    "FUlEQVQImWPkqjjxnwEJMDGgAQwBAG4JAk9EJIR/AAAAAElFTkSuQmCC";

// Reports every key but the modifiers, which only make part of a sequence.
class Field : public QLineEdit {
protected:
    void keyPressEvent(QKeyEvent *key) override {
        if (!QList<int>{Qt::Key_Control, Qt::Key_Shift, Qt::Key_Meta, Qt::Key_Alt, Qt::Key_Super_L}
                 .contains(key->key()))
            report(QStringLiteral("key ") +
                   QKeySequence(key->keyCombination()).toString(QKeySequence::PortableText));
        QLineEdit::keyPressEvent(key);
    }
};

void runCommand(const QString &line, QLineEdit &field) {
    QClipboard *clipboard = QApplication::clipboard();
    const QString command = line.section(QLatin1Char(' '), 0, 0);
    if (command == QLatin1String("set-clipboard")) {
        auto *data = new QMimeData;
        data->setText(QStringLiteral("original clipboard"));
        data->setHtml(QStringLiteral("<b>original</b> clipboard"));
        data->setData(QStringLiteral("image/png"), QByteArray::fromBase64(samplePng));
        clipboard->setMimeData(data);
    } else if (command == QLatin1String("take-clipboard-text")) {
        // A property change on our own window brings the server's current time.
        field.windowHandle()->setTitle(QStringLiteral("target %1").arg(line.size()));
        QEventLoop waited;
        QTimer::singleShot(100, &waited, &QEventLoop::quit);
        waited.exec();
        clipboard->setText(line.section(QLatin1Char(' '), 1));
    } else if (command == QLatin1String("clear-clipboard")) {
        clipboard->clear();
    } else if (command == QLatin1String("dump-clipboard") && clipboard->mimeData()) {
        const QMimeData *data = clipboard->mimeData();
        for (const QString &format : data->formats())
            report(QStringLiteral("clipboard %1 ").arg(format) +
                   QString::fromLatin1(data->data(format).toBase64()));
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
    Field field;
    QObject::connect(&field, &QLineEdit::textChanged,
                     [](const QString &text) { report(QStringLiteral("text ") + text); });
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, [](QWindow *window) {
        if (window)
            report(QStringLiteral("focus"));
    });

    // Unbuffered: each line is read when the notifier tells there is one.
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        const QByteArray line = input.readLine();
        if (!line.endsWith('\n'))
            return QCoreApplication::quit();
        runCommand(QString::fromUtf8(line.chopped(1)), field);
    });

    field.show();
    field.setFocus();
    report(QStringLiteral("ready ") + QString::number(field.winId()));
    return app.exec();
}
