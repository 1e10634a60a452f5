#include "kavsysexception.h"

KAVSysException::KAVSysException(const QString &message)
    : m_message(message), m_what(message.toUtf8())
{
}

KAVSysException::KAVSysException(const KAVSysException &other) = default;
KAVSysException &KAVSysException::operator=(const KAVSysException &other) = default;
KAVSysException::~KAVSysException() = default;

QString KAVSysException::GetMessage() const
{
    return m_message;
}

const char *KAVSysException::what() const noexcept
{
    return m_what.constData();
}
