#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QLockFile;

namespace platform {

// The registry file that stands in for HKEY_LOCAL_MACHINE. Used like the platform's registry
// object: open a key, read and write its string values, enumerate its subkeys.
//
// Key paths are relative to HKEY_LOCAL_MACHINE ("\Software\VRNH\Quillmark"); keys and value
// names match without regard to case. Every write takes a lock file beside the registry file,
// re-reads it, changes it and commits it atomically, so concurrent writers lose nothing and a
// crash leaves the old file. Each line is read as UTF-8 when it is valid UTF-8, else as
// Windows-1252; a write keeps the bytes of every line it does not change, lines that cannot be
// parsed included, and writes changed and added lines in UTF-8 with CR LF.
class RegistryStore {
public:
    explicit RegistryStore(QString filePath = defaultPath());

    // ${XDG_CONFIG_HOME:-$HOME/.config}/VRNH/registry.reg
    static QString defaultPath();
    const QString& filePath() const { return m_path; }

    // Opens a key for reading and writing. Fails when the key is missing and canCreate is false,
    // or when the registry file cannot be written.
    bool openKey(const QString& key, bool canCreate);
    bool openKeyReadOnly(const QString& key);
    void closeKey();
    bool hasCurrentKey() const { return !m_current.isEmpty(); }
    QString currentPath() const { return m_current; }

    bool keyExists(const QString& key);
    bool deleteKey(const QString& key);

    bool valueExists(const QString& name) const;
    // The value's text; empty when it does not exist.
    QString readString(const QString& name) const;
    bool writeString(const QString& name, const QString& value);
    bool deleteValue(const QString& name);
    QStringList valueNames() const;
    // Direct subkeys of the open key, sorted without regard to case.
    QStringList subKeyNames() const;

    QString lastError() const { return m_error; }
    // The file exists but the last read of it failed; lastError() names the file and the reason.
    bool cannotRead() const { return m_cannotRead; }

    // The parsed file; public so that tests and the fuzz targets can round-trip it.
    struct Entry {
        bool isValue = false;
        QString name;
        QString value;
        QString raw;      // the line itself when it is not a value line
        QByteArray bytes; // the line as read, its line end included; empty for a line made anew
    };
    struct Section {
        QString header; // the line as written, brackets included
        QByteArray headerBytes;
        QString key; // normalised path under HKEY_LOCAL_MACHINE; empty for other roots
        bool local = false;
        QList<Entry> entries;
    };
    struct Document {
        QList<Entry> preamble; // the lines before the first section, never values
        QList<Section> sections;
        Section* find(const QString& key);
        const Section* find(const QString& key) const;
    };
    static Document parse(const QByteArray& bytes);
    static QByteArray serialize(const Document& doc);
    static QString normaliseKey(const QString& key);

private:
    bool load(Document& doc);
    bool commit(const std::function<bool(Document&)>& change);
    bool canWrite();
    bool writesHeld();
    bool takeLock(QLockFile& lock);
    QString resolve(const QString& key) const;
    const Section* currentSection() const;

    QString m_path;
    QString m_current;
    bool m_writable = false;
    bool m_cannotRead = false;
    Document m_doc;
    mutable QString m_error;
};

// While a hold lives, no RegistryStore of this process writes the file: a program that could not
// read its settings leaves them as they are for the rest of its run.
class RegistryWriteHold {
public:
    RegistryWriteHold(const QString& filePath, QString reason);
    ~RegistryWriteHold();
    RegistryWriteHold(const RegistryWriteHold&) = delete;
    RegistryWriteHold& operator=(const RegistryWriteHold&) = delete;

    // The reason of a hold on the file; empty when there is none.
    static QString reasonFor(const QString& filePath);

private:
    QString m_path;
    QString m_reason;
};

} // namespace platform
