#pragma once

// Stand-ins for the microphone test and the account session, with the properties and
// invokables the views use, and the QML engine and item look-ups the view tests and the view
// preview share.

#include "QmlViews.h"
#include "Symbols.h"
#include "ViewEngine.h"

#include <QObject>
#include <QQmlEngine>
#include <QQuickItem>
#include <QString>
#include <QStringList>

namespace orvanta::test {

// The microphone test as the General section sees it.
class TestMicTester : public QObject {
    Q_OBJECT
    Q_PROPERTY(float level MEMBER level NOTIFY changed)
    Q_PROPERTY(bool isTesting MEMBER testing NOTIFY changed)
public:
    Q_INVOKABLE void start(const QString &deviceUID) {
        startedWith.append(deviceUID);
        testing = true;
        level = 0.6f;
        emit changed();
    }
    Q_INVOKABLE void stop() {
        testing = false;
        level = 0;
        emit changed();
    }
    float level = 0;
    bool testing = false;
    QStringList startedWith;
signals:
    void changed();
};

// The account session's properties and actions, without a service behind them.
class TestAuth : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isSignedIn MEMBER signedIn NOTIFY changed)
    Q_PROPERTY(QString email MEMBER email NOTIFY changed)
    Q_PROPERTY(QString plan MEMBER plan NOTIFY changed)
    Q_PROPERTY(qint64 wordsUsed MEMBER wordsUsed NOTIFY changed)
    Q_PROPERTY(qint64 wordLimit MEMBER wordLimit NOTIFY changed)
public:
    Q_INVOKABLE void openSignInPage() { ++signInPages; }
    Q_INVOKABLE void signOut() { set(false, plan, wordsUsed, wordLimit); }
    void set(bool in, const QString &newPlan, qint64 used, qint64 limit) {
        signedIn = in;
        plan = newPlan;
        wordsUsed = used;
        wordLimit = limit;
        emit changed();
    }
    bool signedIn = false;
    QString email;
    QString plan = "free";
    qint64 wordsUsed = 0;
    qint64 wordLimit = 1000;
    int signInPages = 0;
signals:
    void changed();
};

// Items made by repeaters hang in the item tree only, not in the object tree.
inline void collectItems(QQuickItem *item, const QString &name, QList<QQuickItem *> &found) {
    if (!item)
        return;
    if (item->objectName() == name)
        found.append(item);
    for (QQuickItem *child : item->childItems())
        collectItems(child, name, found);
}

inline QQuickItem *findItem(QQuickItem *root, const QString &name) {
    QList<QQuickItem *> found;
    collectItems(root, name, found);
    return found.value(0);
}

// Collects the warnings logged while it lives, but the offscreen platform's notes that it can
// neither raise nor shape windows.
struct WarningCatcher {
    WarningCatcher()
        : previous(qInstallMessageHandler(&collect)) {
        caught().clear();
    }
    ~WarningCatcher() { qInstallMessageHandler(previous); }
    static std::string text() { return caught().join('\n').toStdString(); }
    static QStringList &caught() {
        static QStringList messages;
        return messages;
    }
    static void collect(QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg && type != QtInfoMsg && !message.contains("does not support"))
            caught().append(message);
    }
    const QtMessageHandler previous;
};

} // namespace orvanta::test
