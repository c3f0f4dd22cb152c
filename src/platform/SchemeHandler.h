#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace orvanta {

// Makes the desktop hand "orvanta:" links (the browser's sign-in callback) to this
// application: when no installed desktop entry exists, a user entry starting this
// executable is written, and when nobody handles the scheme, this application is made
// its handler with xdg-mime. It never takes the scheme from another handler the user chose.
class SchemeHandler : public QObject {
    Q_OBJECT

public:
    static inline const QString mimeType = QStringLiteral("x-scheme-handler/orvanta");
    static inline const QString entryName = QStringLiteral("orvanta.desktop");

    // The user's and the system's applications folders of the XDG base directories.
    SchemeHandler(QString userApplications, QStringList systemApplications, QString executable,
                  QObject *parent = nullptr);
    static SchemeHandler *forThisUser(QObject *parent = nullptr);

    // Asynchronous; emits finished() when done.
    void ensureRegistered();
    QString userEntryFile() const { return m_userApplications + u'/' + entryName; }
    // The entry this executable writes for itself.
    QByteArray generatedEntry() const;

signals:
    // `registered` is true when this run made the application the handler.
    void finished(bool registered);

private:
    bool installedEntryExists() const;
    void writeUserEntryIfNeeded();
    void queryHandler();
    void makeDefault();

    QString m_userApplications;
    QStringList m_systemApplications;
    QString m_executable;
};

} // namespace orvanta
