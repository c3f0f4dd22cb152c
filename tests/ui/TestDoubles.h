#pragma once

// Stand-ins for the microphone test and the account session, with the properties and
// invokables the views use, for view tests and the view preview.

#include <QObject>
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
        ++stops;
        testing = false;
        level = 0;
        emit changed();
    }
    float level = 0;
    bool testing = false;
    QStringList startedWith;
    int stops = 0;
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
    Q_INVOKABLE void signOut() {
        signedIn = false;
        emit changed();
    }
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

} // namespace orvanta::test
