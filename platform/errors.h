#pragma once

#include <QString>
#include <exception>

namespace platform {

// Base of every error the programs raise: a message and, in the components, a code.
class Error : public std::exception {
public:
    explicit Error(QString message, int code = 0)
        : m_message(std::move(message)), m_code(code), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    int code() const { return m_code; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    int m_code;
    QByteArray m_utf8;
};

// A file that cannot be opened for reading.
class EFOpenError : public Error {
public:
    EFOpenError(const QString& path, const QString& reason)
        : Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason)), m_path(path) {}
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

// A file that cannot be created or written.
class EFCreateError : public Error {
public:
    EFCreateError(const QString& path, const QString& reason)
        : Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason)), m_path(path) {}
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

// A text that should hold a whole number and does not.
class EConvertError : public Error {
public:
    using Error::Error;
};

} // namespace platform
