// The looks of the control set and the tray icon, measured on rendered pixels.

#include "MenuBarIcon.h"
#include "Symbols.h"

#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

extern void qml_register_types_Orvanta();

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

// The strongest contrast any pixel of `rect` has against `against`.
double strongestContrast(const QImage &image, const QRect &rect, const QColor &against) {
    double best = 1.0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            best = std::max(best, contrast(image.pixelColor(x, y), against));
    return best;
}

void collect(QQuickItem *item, const QString &name, QList<QQuickItem *> &found) {
    if (item->objectName() == name)
        found.append(item);
    for (QQuickItem *child : item->childItems())
        collect(child, name, found);
}

class ControlLooksTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qml_register_types_Orvanta(); }
    void SetUp() override {
        engine.addImageProvider(QStringLiteral("symbol"), new orvanta::SymbolImageProvider);
    }

    // A window showing `controls` (QML inside a Column), grabbed after it settles.
    std::unique_ptr<QQuickWindow> show(const QByteArray &controls) {
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Orvanta\nWindow { width: 320; height: 360; "
                          "color: Theme.ovPage; Column { x: 10; y: 10; spacing: 10\n" +
                              controls + "\n} }",
                          QUrl(QStringLiteral("qrc:/Orvanta/LooksTest.qml")));
        auto window =
            std::unique_ptr<QQuickWindow>(qobject_cast<QQuickWindow *>(component.create()));
        EXPECT_TRUE(window) << component.errorString().toStdString();
        if (window) {
            window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
        return window;
    }
    static QQuickItem *item(QQuickWindow *window, const QString &name) {
        QList<QQuickItem *> found;
        collect(window->contentItem(), name, found);
        return found.value(0);
    }
    static QImage pixelsOf(QQuickWindow *window, QQuickItem *item) {
        return window->grabWindow().copy(item->mapRectToScene(item->boundingRect()).toRect());
    }

    QQmlEngine engine;
};

// Every control that can be disabled looks different when it is: a disabled button that
// looks enabled invites a click that does nothing.
TEST_F(ControlLooksTest, DisabledControlsLookDifferentFromEnabledOnes) {
    const char *controls[] = {
        "Button { objectName: 'a'; text: 'Add' } Button { objectName: 'b'; text: 'Add'; enabled: "
        "false }",
        "Button { objectName: 'a'; text: 'Save'; highlighted: true }"
        " Button { objectName: 'b'; text: 'Save'; highlighted: true; enabled: false }",
        "Switch { objectName: 'a'; checked: true } Switch { objectName: 'b'; checked: true; "
        "enabled: false }",
        "ComboBox { objectName: 'a'; model: ['Clean'] } ComboBox { objectName: 'b'; model: "
        "['Clean']; enabled: false }",
        "TextField { objectName: 'a'; text: 'Acme' } TextField { objectName: 'b'; text: 'Acme'; "
        "enabled: false }",
        "Button { objectName: 'a'; text: 'Add' } Button { objectName: 'b'; text: 'Add'; "
        "highlighted: true }",
    };
    for (const char *pair : controls) {
        auto window = show(pair);
        ASSERT_TRUE(window);
        const QImage a = pixelsOf(window.get(), item(window.get(), "a"));
        const QImage b = pixelsOf(window.get(), item(window.get(), "b"));
        ASSERT_EQ(a.size(), b.size()) << pair;
        int differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                differing += contrast(a.pixelColor(x, y), b.pixelColor(x, y)) > 1.15;
        EXPECT_GT(differing, a.width() * a.height() / 5) << pair;
    }
}

// The entry under the pointer or the keyboard in an open picker: its text must stand out
// from its background, and so must the text of the other entries.
TEST_F(ControlLooksTest, PickerEntriesAreReadableHighlightedOrNot) {
    auto window = show("ComboBox { id: picker; objectName: 'picker'; model: ['Auto-Detect', "
                       "'English', 'German']; currentIndex: 1 }");
    ASSERT_TRUE(window);
    QQuickItem *picker = item(window.get(), "picker");
    picker->forceActiveFocus();
    QTest::keyClick(window.get(), Qt::Key_Space);
    QObject *popup = picker->property("popup").value<QObject *>();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->property("opened").toBool(); }));
    QList<QQuickItem *> entries;
    collect(window->contentItem(), "pickerEntry", entries);
    ASSERT_EQ(entries.size(), 3);
    QTest::qWait(100);
    const QImage image = window->grabWindow();
    int highlighted = 0;
    for (QQuickItem *entry : entries) {
        const QRect rect = entry->mapRectToScene(entry->boundingRect()).toRect();
        // The background shows left of the text (inside the entry's padding).
        const QColor background = image.pixelColor(rect.left() + 4, rect.center().y());
        const double text = strongestContrast(image, rect.adjusted(9, 2, -2, -2), background);
        highlighted += entry->property("highlighted").toBool();
        EXPECT_GT(text, 3.0) << entry->property("text").toString().toStdString()
                             << (entry->property("highlighted").toBool() ? " (highlighted)" : "");
    }
    EXPECT_EQ(highlighted, 1);
}

// The tray glyph on dark and light panels: the panel colour the palette reports gives the
// glyph's tone; where the panel differs from the palette, the outline still shows.
TEST(TrayIconTest, GlyphContrastsWithThePanel) {
    const struct {
        const char *palette;
        const char *panel;
        double minimum;
    } cases[] = {
        {"#1d1d1d", "#1d1d1d", 7.0},                              // dark panels (GNOME, Xfce)
        {"#3c3f41", "#3c3f41", 7.0}, {"#f6f5f4", "#f6f5f4", 7.0}, // light panels
        {"#dcdcdc", "#dcdcdc", 7.0}, {"#f6f5f4", "#1d1d1d", 3.0}, // a light theme with a dark panel
        {"#1d1d1d", "#f6f5f4", 3.0},                              // and the other way round
    };
    for (const auto &[palette, panelName, minimum] : cases) {
        const QColor panel(QString::fromLatin1(panelName));
        for (const bool recording : {false, true}) {
            const QImage glyph = orvanta::MenuBarIcon::trayImage(recording, QColor(palette), 2.0);
            QImage onPanel(glyph.size(), QImage::Format_ARGB32_Premultiplied);
            onPanel.fill(panel);
            QPainter(&onPanel).drawImage(0, 0, glyph);
            EXPECT_GT(strongestContrast(onPanel, onPanel.rect(), panel), minimum)
                << palette << " on " << panelName << (recording ? " recording" : " idle");
        }
    }
}

} // namespace
