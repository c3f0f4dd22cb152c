#pragma once

// Stand-ins for the microphone test and the account session, and the item look-up.

#include <QObject>
#include <QQuickItem>
#include <QString>

#include <functional>

namespace orvanta::test {

// The microphone test as the General section sees it.
class TestMicTester : public QObject {
    Q_OBJECT
    Q_PROPERTY(float level MEMBER level CONSTANT)
    Q_PROPERTY(bool isTesting READ isTesting NOTIFY changed)
public:
    Q_INVOKABLE void start(const QString &deviceUID) {
        device = deviceUID;
        emit changed();
    }
    Q_INVOKABLE void stop() { start({}); }
    bool isTesting() const { return !device.isEmpty(); }
    float level = 0.6f;
    QString device; // the one under test
signals:
    void changed();
};

// The account session's properties and actions, without a service behind them.
class TestAuth : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isSignedIn MEMBER signedIn NOTIFY changed)
    Q_PROPERTY(QString email MEMBER email CONSTANT)
    Q_PROPERTY(QString plan MEMBER plan CONSTANT)
    Q_PROPERTY(qint64 wordsUsed MEMBER wordsUsed NOTIFY changed)
    Q_PROPERTY(qint64 wordLimit MEMBER wordLimit CONSTANT)
public:
    Q_INVOKABLE void openSignInPage() { ++signInPages; }
    Q_INVOKABLE void signOut() { set(false, wordsUsed); }
    void set(bool in, qint64 used) {
        signedIn = in;
        wordsUsed = used;
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

// Matching items under `item`, by the item tree: repeaters' items are not in the object tree.
inline QList<QQuickItem *> findItems(QQuickItem *item,
                                     const std::function<bool(QQuickItem *)> &matches) {
    QList<QQuickItem *> found;
    if (item && matches(item))
        found.append(item);
    for (QQuickItem *child : item ? item->childItems() : QList<QQuickItem *>())
        found += findItems(child, matches);
    return found;
}

inline QQuickItem *findItem(QQuickItem *root, const QString &name) {
    return findItems(root, [&](QQuickItem *item) { return item->objectName() == name; }).value(0);
}

} // namespace orvanta::test
