// The looks of the control set, the symbols and the tray icon, measured on rendered pixels.

#include "MenuBarIcon.h"
#include "MenuRules.h"
#include "QmlViews.h"
#include "Shortcut.h"
#include "Symbols.h"
#include "TestDoubles.h"

#include <QDirIterator>
#include <QPainter>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace orvanta;
using namespace orvanta::test;

namespace {

// WCAG contrast ratio of two opaque colours: 1 (none) to 21 (black on white).
double contrast(QColor a, QColor b) {
    auto luminance = [](const QColor &c) {
        auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Picker entries, the tray glyph on any panel and every symbol the views use stand out; a
// disabled control looks disabled, or it invites a click that does nothing.
TEST(ControlLooksTest, TextAndGlyphsStandOutFromTheirBackground) {
    const std::pair<const char *, const char *> pairs[] = {
        {"Button { text: 'Add'", "enabled: false"},
        {"Button { text: 'Save'; highlighted: true", "enabled: false"},
        {"Switch { checked: true", "enabled: false"},
        {"ComboBox { model: ['Clean']", "enabled: false"},
        {"TextField { text: 'Acme'", "enabled: false"},
        {"Button { text: 'Add'", "highlighted: true"},
    };
    QByteArray controls;
    for (int i = 0; i < int(std::size(pairs)); ++i)
        controls += QByteArray(pairs[i].first) + "; objectName: 'a" + QByteArray::number(i) +
                    "' } " + pairs[i].first + "; " + pairs[i].second + "; objectName: 'b" +
                    QByteArray::number(i) + "' }\n";
    QmlViews engine;
    QQmlComponent component(&engine.engine());
    component.setData("import QtQuick\nimport Orvanta\nWindow { width: 680; height: 360; color: "
                      "Theme.ovPage; ComboBox { x: 10; y: 10; objectName: 'picker'; model: "
                      "['Auto-Detect', 'English', 'German']; currentIndex: 1 }\n"
                      "Grid { x: 230; y: 10; columns: 2; spacing: 10\n" +
                          controls + "} }",
                      QUrl("qrc:/Orvanta/LooksTest.qml"));
    std::unique_ptr<QQuickWindow> window(qobject_cast<QQuickWindow *>(component.create()));
    ASSERT_TRUE(window) << component.errorString().toStdString();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage controlsShown = window->grabWindow();
    const auto pixelsOf = [&](const QString &name) {
        QQuickItem *item = findItem(window->contentItem(), name);
        return controlsShown.copy(item->mapRectToScene(item->boundingRect()).toRect());
    };
    for (int i = 0; i < int(std::size(pairs)); ++i) {
        const QImage a = pixelsOf(QStringLiteral("a%1").arg(i));
        const QImage b = pixelsOf(QStringLiteral("b%1").arg(i));
        ASSERT_EQ(a.size(), b.size()) << pairs[i].first;
        int differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                differing += contrast(a.pixelColor(x, y), b.pixelColor(x, y)) > 1.15;
        EXPECT_GT(differing, a.width() * a.height() / 5)
            << pairs[i].first << " } with " << pairs[i].second;
    }
    // What is shown, its pixels, the colour behind them and the contrast they must reach.
    QList<std::tuple<std::string, QImage, QColor, double>> shown;
    QObject *popup =
        findItem(window->contentItem(), "picker")->property("popup").value<QObject *>();
    QMetaObject::invokeMethod(popup, "open");
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->property("opened").toBool(); }));
    const QImage grab = window->grabWindow();
    int highlighted = 0;
    auto isEntry = [](QQuickItem *item) { return item->objectName() == "pickerEntry"; };
    for (QQuickItem *entry : findItems(window->contentItem(), isEntry)) {
        const QRect rect = entry->mapRectToScene(entry->boundingRect()).toRect();
        highlighted += entry->property("highlighted").toBool();
        // The background shows left of the text (inside the entry's padding).
        shown.append({entry->property("text").toString().toStdString(),
                      grab.copy(rect.adjusted(9, 2, -2, -2)),
                      grab.pixelColor(rect.left() + 4, rect.center().y()), 3.0});
    }
    EXPECT_EQ(shown.size(), 3);
    EXPECT_EQ(highlighted, 1);

    const std::tuple<const char *, const char *, double> trays[] = {
        {"#1d1d1d", "#1d1d1d", 7.0}, // dark panels (GNOME, Xfce)
        {"#f6f5f4", "#f6f5f4", 7.0}, // light panels
        {"#f6f5f4", "#1d1d1d", 3.0}, // a light theme with a dark panel
        {"#1d1d1d", "#f6f5f4", 3.0}, // and the other way round
    };
    for (const auto &[palette, panel, minimum] : trays)
        for (const bool recording : {false, true})
            shown.append({palette + (" on " + std::string(panel)) + (recording ? " recording" : ""),
                          MenuBarIcon::trayImage(recording, QColor(palette), 2.0), QColor(panel),
                          minimum});
    QSet<QString> names;
    for (const DictationStatus &status :
         {DictationStatus::idle(), DictationStatus::recording(), DictationStatus::transcribing()})
        names.insert(MenuRules::primaryButton(status).symbol);
    for (const KeybindAction action : allKeybindActions)
        names.insert(iconName(action));
    // Each quoted name in the value of a `symbol:` or of a SymbolIcon's `name:`.
    const QRegularExpression use(R"((?:\bsymbol|SymbolIcon\s*\{[^}]*?\bname)\s*:([^,;}\n]*))");
    const QRegularExpression literal(R"re("([^"]+)")re");
    QDirIterator qml(":/Orvanta", {"*.qml"}, QDir::Files, QDirIterator::Subdirectories);
    while (qml.hasNext()) {
        QFile file(qml.next());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        for (const auto &match : use.globalMatch(QString::fromUtf8(file.readAll())))
            for (const auto &name : literal.globalMatch(match.captured(1)))
                names.insert(name.captured(1));
    }
    EXPECT_GT(names.size(), allKeybindActions.size() + 2) << "the QML sources were read";
    for (const QString &name : names)
        shown.append(
            {name.toStdString(), Symbols::render(name, Qt::red, {24, 24}), Qt::black, 2.0});

    for (const auto &[what, image, background, minimum] : shown) {
        QImage over(image.size(), QImage::Format_ARGB32_Premultiplied);
        over.fill(background);
        QPainter(&over).drawImage(0, 0, image);
        double strongest = 1.0;
        for (int y = 0; y < over.height(); ++y)
            for (int x = 0; x < over.width(); ++x)
                strongest = std::max(strongest, contrast(over.pixelColor(x, y), background));
        EXPECT_GT(strongest, minimum) << what;
    }
}

} // namespace
