#include "kavatmjsengine.h"
#include "kavatmjsnative_p.h"
#include "kavatmjsoncomparison_p.h"
#include "kavatmlogging_p.h"
#include "kavatmreadfile.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtQml/QQmlEngine>

#include <QtCore/QStringDecoder>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

namespace {
KAVAtmJsEngine *s_instance = nullptr;

// Interrupts the engine once a deadline passes, from a thread of its own.
class Watchdog {
public:
    explicit Watchdog(QJSEngine *engine) : m_engine(engine) { }
    ~Watchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void Set(std::chrono::milliseconds after)
    {
        // Disarmed before the engine resumes: a deadline passing in between must not stop
        // the script that the new deadline is for.
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_armed = false;
        }
        Resume();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_deadline = std::chrono::steady_clock::now() + after;
            m_armed = true;
            if (!m_thread.joinable())
                m_thread = std::thread([this] { Run(); });
        }
        m_wake.notify_all();
    }
    void Clear()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_armed = false;
        }
        m_wake.notify_all();
        Resume();
    }
    bool IsArmed() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_armed;
    }
    bool Fired() const { return m_fired; }

private:
    void Resume()
    {
        if (m_fired.exchange(false))
            m_engine->setInterrupted(false);
    }
    void Run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_quit) {
            if (!m_armed) {
                m_wake.wait(lock);
            } else if (std::chrono::steady_clock::now() >= m_deadline) {
                m_armed = false;
                m_fired = true;
                m_engine->setInterrupted(true);
            } else {
                m_wake.wait_until(lock, m_deadline);
            }
        }
    }

    QJSEngine *const m_engine;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_armed = false;
    bool m_quit = false;
    std::atomic<bool> m_fired {false};
};

// The text of a script file: UTF-8, or whatever its byte-order mark names.
std::optional<QString> decodeScript(const QByteArray &bytes)
{
    const std::optional<QStringConverter::Encoding> marked
        = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(marked.value_or(QStringConverter::Utf8));
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

class KAVAtmJsEnginePrivate {
public:
    QQmlEngine *engine = nullptr;
    QTimer timer;
    KAVAtmJsNative native;
    std::unique_ptr<Watchdog> watchdog;
    // Object.defineProperty as it was before any script ran.
    QJSValue lock;
    int deadline = 0; // the token of the latest deadline set
};

KAVAtmJsEngine::KAVAtmJsEngine() : d(new KAVAtmJsEnginePrivate)
{
    // No parent: the engine goes in a post routine, after everything holding script values.
    d->engine = new QQmlEngine;
    d->timer.setSingleShot(true);
    QJSEngine::setObjectOwnership(&d->timer, QJSEngine::CppOwnership);
    d->engine->globalObject().setProperty(QStringLiteral("timer"),
                                          d->engine->newQObject(&d->timer));
    d->engine->installExtensions(QJSEngine::ConsoleExtension);
    d->lock = d->engine->evaluate(QStringLiteral(
        "(function () { const define = Object.defineProperty; return function (o, name) {"
        " define(o, name, { value: o[name], writable: false, enumerable: true,"
        " configurable: false }); }; })()"));
    LockGlobalProperty(QStringLiteral("timer"));
    QJSEngine::setObjectOwnership(&d->native, QJSEngine::CppOwnership);
    d->engine->globalObject().setProperty(QStringLiteral("kavNative"),
                                          d->engine->newQObject(&d->native));
    LockGlobalProperty(QStringLiteral("kavNative"));
    d->watchdog = std::make_unique<Watchdog>(d->engine);
    // Lets the modules skip building debug lines nobody reads.
    d->engine->globalObject().setProperty(QStringLiteral("kavDebug"),
                                          lcScripting().isDebugEnabled());
}

KAVAtmJsEngine::~KAVAtmJsEngine()
{
    d->watchdog.reset();
    d->lock = QJSValue();
    delete d->engine;
    if (s_instance == this)
        s_instance = nullptr;
}

KAVAtmJsEngine *KAVAtmJsEngine::GetInstance()
{
    static const bool created = [] {
        s_instance = new KAVAtmJsEngine;
        // Post routines run last registered first: whatever registers later (the case manager,
        // holding script values) goes before the engine.
        qAddPostRoutine([] { delete s_instance; });
        return true;
    }();
    Q_UNUSED(created);
    return s_instance;
}

QJSEngine *KAVAtmJsEngine::GetEngine() const
{
    return d->engine;
}

QJSValue KAVAtmJsEngine::Evaluate(const QString &program)
{
    return Evaluate(program, QString(), 1);
}

QJSValue KAVAtmJsEngine::Evaluate(const QString &program, const QString &fileName, int lineNumber)
{
    // A native exception must not unwind through the script engine's frames.
    try {
        return d->engine->evaluate(program, fileName, lineNumber);
    } catch (const std::exception &exception) {
        return QJSValue(QString::fromLocal8Bit(exception.what()));
    } catch (...) {
        return QJSValue(QStringLiteral("Unknown exception happens!"));
    }
}

QJSValue KAVAtmJsEngine::ExecuteScriptFile(const QString &fileName, bool wrap)
{
    if (!QFileInfo::exists(fileName)) {
        return QJSValue(
            QStringLiteral("The specified script file cannot be found: %1").arg(fileName));
    }
    QByteArray content;
    switch (KAVAtmReadFile::Read(fileName, MaximumScriptSize, &content)) {
    case KAVAtmReadFile::Outcome::Read:
        break;
    case KAVAtmReadFile::Outcome::TooLarge:
        return QJSValue(QStringLiteral("The script file is larger than %1 MiB: %2")
                            .arg(QString::number(MaximumScriptSize >> 20), fileName));
    default:
        return QJSValue(QStringLiteral("Failed to open the script file: %1").arg(fileName));
    }
    std::optional<QString> decoded = decodeScript(content);
    if (!decoded) {
        return QJSValue(
            QStringLiteral("The script file is not UTF-8 or UTF-16 text: %1").arg(fileName));
    }
    QString text = *std::move(decoded);
    if (wrap)
        text = WrapScript(text);
    // Named, so that errors say where they are; the wrapping line is not one of the file's.
    return Evaluate(text, QFileInfo(fileName).absoluteFilePath(), wrap ? 0 : 1);
}

QString KAVAtmJsEngine::WrapScript(const QString &text)
{
    return QStringLiteral("(\n%1\n)").arg(text);
}

QJSValue KAVAtmJsEngine::ImportModule(const QString &fileName, const QString &name)
{
    QJSValue module;
    try {
        module = d->engine->importModule(fileName);
    } catch (...) {
        module = d->engine->newErrorObject(QJSValue::GenericError,
                                           QStringLiteral("Unknown exception happens!"));
    }
    if (module.isError())
        return module;
    SetGlobalProperty(name, module);
    return module;
}

QJSValue KAVAtmJsEngine::RegisterQObject(const QString &name, QObject *object)
{
    const QJSValue value = object ? CreateJsObject(object) : QJSValue(QJSValue::UndefinedValue);
    d->engine->globalObject().setProperty(name, value);
    return value;
}

void KAVAtmJsEngine::SetGlobalProperty(const QString &name, const QJSValue &value)
{
    qCDebug(lcScripting).noquote() << "Registering module:" << name;
    d->engine->globalObject().setProperty(name, value);
}

QJSValue KAVAtmJsEngine::GetGlobalProperty(const QString &name) const
{
    return d->engine->globalObject().property(name);
}

QJSValue KAVAtmJsEngine::CreateJsObject(QObject *object)
{
    if (!object)
        return QJSValue(QJSValue::NullValue);
    QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    return d->engine->newQObject(object);
}

QJSValue KAVAtmJsEngine::CreateEmptyJsObject()
{
    return d->engine->newObject();
}

QJSValue KAVAtmJsEngine::CreateJsArray(unsigned int length)
{
    return d->engine->newArray(length);
}

void KAVAtmJsEngine::LockGlobalProperty(const QString &name)
{
    const QJSValue locked = d->lock.call({d->engine->globalObject(), name});
    if (locked.isError())
        qCDebug(lcScripting).noquote() << "Cannot lock" << name << ':' << locked.toString();
}

int KAVAtmJsEngine::SetDeadline(qint64 milliseconds)
{
    d->watchdog->Set(std::chrono::milliseconds(qMax<qint64>(milliseconds, 1)));
    d->deadline = d->deadline == std::numeric_limits<int>::max() ? 1 : d->deadline + 1;
    return d->deadline;
}

bool KAVAtmJsEngine::HasDeadline() const
{
    return d->watchdog->IsArmed();
}

void KAVAtmJsEngine::ClearDeadline(int token)
{
    if (token != 0 && token == d->deadline)
        d->watchdog->Clear();
}

bool KAVAtmJsEngine::WasStopped() const
{
    return d->watchdog->Fired();
}

void KAVAtmJsEngine::StopTimer()
{
    d->timer.stop();
    QObject::disconnect(&d->timer, &QTimer::timeout, nullptr, nullptr);
}

QString KAVAtmJsNative::CompareJson(const QString &expected, const QString &actual) const
{
    return KAVAtmJsonComparison::Compare(KAVAtmJsonComparison::Utf8Text(expected),
                                         KAVAtmJsonComparison::Utf8Text(actual));
}
