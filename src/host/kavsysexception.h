#ifndef KAVSYSEXCEPTION_H
#define KAVSYSEXCEPTION_H

#include "kavhost_export.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <exception>

class KAVHOST_EXPORT KAVSysException : public std::exception {
public:
    explicit KAVSysException(const QString &message);
    KAVSysException(const KAVSysException &other);
    KAVSysException &operator=(const KAVSysException &other);
    ~KAVSysException() override;

    QString GetMessage() const;
    const char *what() const noexcept override;

private:
    QString m_message;
    QByteArray m_what;
};

#endif // KAVSYSEXCEPTION_H
